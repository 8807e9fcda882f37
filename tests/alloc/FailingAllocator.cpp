#include "FailingAllocator.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace testsupport {
namespace {

std::atomic<bool> active{false};
std::atomic<std::size_t> failAt{0};
std::atomic<std::size_t> count{0};
std::atomic<bool> hasFailed{false};
std::atomic<long long> live{0};

// Each block is preceded by a small record: where the underlying malloc block starts and whether
// the block was made during a trial. The record sits right before the address handed out.
struct Record {
    void* base;
    std::uintptr_t counted;
};

[[maybe_unused]] void* allocate(std::size_t size, std::size_t alignment, bool nothrow) {
    bool counted = false;
    if (active.load(std::memory_order_relaxed)) {
        const std::size_t number = ++count;
        if (number == failAt.load(std::memory_order_relaxed)) {
            hasFailed = true;
            if (nothrow) {
                return nullptr;
            }
            throw std::bad_alloc();
        }
        counted = true;
    }
    if (alignment < alignof(std::max_align_t)) {
        alignment = alignof(std::max_align_t);
    }
    void* base = std::malloc(size + sizeof(Record) + alignment);
    if (base == nullptr) {
        if (nothrow) {
            return nullptr;
        }
        throw std::bad_alloc();
    }
    std::uintptr_t address = reinterpret_cast<std::uintptr_t>(base) + sizeof(Record);
    address = (address + alignment - 1) / alignment * alignment;
    const Record record{base, counted ? 1u : 0u};
    std::memcpy(reinterpret_cast<void*>(address - sizeof(Record)), &record, sizeof record);
    if (counted) {
        ++live;
    }
    return reinterpret_cast<void*>(address);
}

[[maybe_unused]] void release(void* memory) noexcept {
    if (memory == nullptr) {
        return;
    }
    Record record;
    std::memcpy(&record, static_cast<char*>(memory) - sizeof(Record), sizeof record);
    if (record.counted != 0) {
        --live;
    }
    std::free(record.base);
}

}  // namespace

void begin(std::size_t failAt_) noexcept {
    failAt = failAt_;
    count = 0;
    hasFailed = false;
    active = true;
}

void end() noexcept {
    active = false;
}

bool failed() noexcept {
    return hasFailed;
}

long long outstanding() noexcept {
    return live;
}

void reset() noexcept {
    live = 0;
}

}  // namespace testsupport

#ifndef _WIN32
// On Windows these would replace the allocator of this program only, while the DLLs keep
// theirs: blocks of one freed by the other would break both (AllocationFailureTest skips there).
using testsupport::allocate;
using testsupport::release;

void* operator new(std::size_t size) {
    return allocate(size, 0, false);
}
void* operator new[](std::size_t size) {
    return allocate(size, 0, false);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size, 0, true);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size, 0, true);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return allocate(size, static_cast<std::size_t>(alignment), false);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return allocate(size, static_cast<std::size_t>(alignment), false);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return allocate(size, static_cast<std::size_t>(alignment), true);
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return allocate(size, static_cast<std::size_t>(alignment), true);
}

void operator delete(void* memory) noexcept {
    release(memory);
}
void operator delete[](void* memory) noexcept {
    release(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    release(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    release(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
    release(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
    release(memory);
}
void operator delete(void* memory, std::align_val_t) noexcept {
    release(memory);
}
void operator delete[](void* memory, std::align_val_t) noexcept {
    release(memory);
}
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept {
    release(memory);
}
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept {
    release(memory);
}
void operator delete(void* memory, std::align_val_t, const std::nothrow_t&) noexcept {
    release(memory);
}
void operator delete[](void* memory, std::align_val_t, const std::nothrow_t&) noexcept {
    release(memory);
}
#endif
