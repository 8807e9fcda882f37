// The random part of a temporary file's name, shared by both sides of the file functions.
#ifndef VELXMLN_SRC_PLATFORM_UNIQUESUFFIX_H
#define VELXMLN_SRC_PLATFORM_UNIQUESUFFIX_H

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

namespace VelXmlN {
namespace platform {

/// Six characters from a 62-letter alphabet, as mkstemp uses, different in every call of every
/// process (`processId` tells processes apart). The exclusive create of the file, not this
/// randomness, is what makes a name safe.
template <typename Char>
std::basic_string<Char> uniqueSuffix(std::uint64_t processId) {
    static std::atomic<std::uint64_t> counter{0};
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    std::uint64_t x = static_cast<std::uint64_t>(now) ^ (processId << 40) ^
                      (counter.fetch_add(1) * 0x9E3779B97F4A7C15ULL);
    // splitmix64 finaliser: spreads the bits so that consecutive calls differ everywhere.
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    x ^= x >> 31;
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::basic_string<Char> suffix(6, Char('X'));
    for (Char& c : suffix) {
        c = static_cast<Char>(kLetters[x % 62]);
        x /= 62;
    }
    return suffix;
}

}  // namespace platform
}  // namespace VelXmlN

#endif
