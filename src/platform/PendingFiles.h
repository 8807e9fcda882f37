// The names of the temporary files that writes in progress have made, kept where a signal handler
// can reach them without taking a lock or allocating: a fixed table of lock-free slots.
#ifndef VELXMLN_SRC_PLATFORM_PENDINGFILES_H
#define VELXMLN_SRC_PLATFORM_PENDINGFILES_H

#include <atomic>
#include <cstddef>

namespace VelXmlN {
namespace platform {

/// `Char` is the character type of the system's file names (char on POSIX, wchar_t on Windows).
template <typename Char>
class PendingFiles {
  public:
    /// Writes in progress at once beyond this many, and names longer than kLength, are not kept:
    /// their files are only left behind when the process is interrupted.
    static constexpr int kSlots = 32;
    static constexpr std::size_t kLength = 2048;

    constexpr PendingFiles() = default;

    /// Keeps `length` characters of `name`; returns the slot, or -1 when it cannot be kept.
    int add(const Char* name, std::size_t length) noexcept {
        if (length >= kLength) {
            return -1;
        }
        for (int i = 0; i < kSlots; ++i) {
            int expected = kFree;
            if (slots_[i].state.compare_exchange_strong(expected, kFilling)) {
                for (std::size_t k = 0; k < length; ++k) {
                    slots_[i].name[k] = name[k];
                }
                slots_[i].name[length] = Char();
                slots_[i].state.store(kKept);
                return i;
            }
        }
        return -1;
    }

    /// Forgets the name in `slot` (-1 is ignored).
    void remove(int slot) noexcept {
        if (slot >= 0 && slot < kSlots) {
            slots_[slot].state.store(kFree);
        }
    }

    /// Calls `removeFile(name)` for every name kept. Async-signal-safe when `removeFile` is.
    template <typename RemoveFile>
    void removeAll(RemoveFile removeFile) noexcept {
        for (Slot& slot : slots_) {
            if (slot.state.load() == kKept) {
                removeFile(slot.name);
            }
        }
    }

  private:
    static constexpr int kFree = 0;
    static constexpr int kFilling = 1;
    static constexpr int kKept = 2;

    struct Slot {
        std::atomic<int> state{kFree};
        Char name[kLength] = {};
    };
    Slot slots_[kSlots];
};

}  // namespace platform
}  // namespace VelXmlN

#endif
