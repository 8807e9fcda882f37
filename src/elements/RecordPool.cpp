#include "elements/RecordPool.h"

#include <cstdint>
#include <mutex>
#include <new>

// The sanitizer and valgrind builds take every record from the global allocator, so that they
// see each use after free and each overflow of a record.
#if defined(VELXMLN_SANITIZE) || defined(VELXMLN_MEMCHECK) || defined(__SANITIZE_ADDRESS__)
#define VELXMLN_RECORD_POOL 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer) || \
    __has_feature(thread_sanitizer)
#define VELXMLN_RECORD_POOL 0
#endif
#endif
#ifndef VELXMLN_RECORD_POOL
#define VELXMLN_RECORD_POOL 1
#endif

namespace VelXmlN {
namespace detail {

#if VELXMLN_RECORD_POOL

namespace {

// Sizes are rounded up to this step, which is also the alignment of every block (the records
// hold pointers, strings and vectors, none aligned more strictly).
constexpr std::size_t kStep = alignof(void*);
constexpr std::size_t kLargest = 256;  // larger blocks come from the global allocator
constexpr std::size_t kClasses = kLargest / kStep;
constexpr std::size_t kChunk = std::size_t{64} * 1024;
// A thread keeps at most this many free blocks of one size; half of them go back to the shared
// lists when it has more, so that records freed on one thread serve the others.
constexpr std::uint32_t kCached = 512;

struct FreeBlock {
    FreeBlock* next;
};

// A chain of free blocks with its length.
struct Chain {
    FreeBlock* first = nullptr;
    std::uint32_t count = 0;
};

// The lists every thread draws from when its own is empty, and the chunks they were cut from.
// Chunks are kept for the life of the process, so that a block freed late (by a static
// destructor, or on a thread that is ending) always lands in memory that is still there.
struct Shared {
    std::mutex lock;
    Chain lists[kClasses];
    void* chunks = nullptr;  // each chunk's first word links to the next
};

Shared& shared() {
    static Shared* const instance = new Shared();  // never destroyed, see above
    return *instance;
}

// A thread's own free lists. Plain data, so that it outlives its thread's destructors: once the
// flush below has run, `gone` sends the thread's later releases to the shared lists.
struct Cache {
    Chain lists[kClasses];
    bool flushes;  // the flush below is registered for this thread
    bool gone;     // the flush has run
};

thread_local Cache cache;

// Moves `count` blocks from the front of `from` to the front of `to`.
void move(Chain& from, Chain& to, std::uint32_t count) noexcept {
    FreeBlock* first = from.first;
    FreeBlock* last = first;
    for (std::uint32_t i = 1; i < count; ++i) {
        last = last->next;
    }
    from.first = last->next;
    from.count -= count;
    last->next = to.first;
    to.first = first;
    to.count += count;
}

// Gives a thread's free blocks to the other threads when it ends.
struct Flush {
    Flush() = default;
    Flush(const Flush&) = delete;
    Flush& operator=(const Flush&) = delete;
    ~Flush() {
        Shared& pool = shared();
        const std::lock_guard<std::mutex> hold(pool.lock);
        for (std::size_t i = 0; i < kClasses; ++i) {
            if (cache.lists[i].count > 0) {
                move(cache.lists[i], pool.lists[i], cache.lists[i].count);
            }
        }
        cache.gone = true;
    }
};

thread_local Flush flush;

// Fills the thread's empty list of class `index`: from the shared list, else from a new chunk.
void refill(std::size_t index) {
    if (!cache.flushes) {
        cache.flushes = true;
        static_cast<void>(&flush);  // its first use registers its destructor for this thread
    }
    Chain& own = cache.lists[index];
    Shared& pool = shared();
    {
        const std::lock_guard<std::mutex> hold(pool.lock);
        Chain& common = pool.lists[index];
        if (common.count > 0) {
            move(common, own, common.count < kCached ? common.count : kCached);
            return;
        }
    }
    const std::size_t size = (index + 1) * kStep;
    char* chunk = static_cast<char*>(::operator new(kChunk));
    {
        const std::lock_guard<std::mutex> hold(pool.lock);
        *reinterpret_cast<void**>(chunk) = pool.chunks;
        pool.chunks = chunk;
    }
    // The first block's room holds the link to the next chunk.
    const std::size_t first = (sizeof(void*) + size - 1) / size * size;
    FreeBlock* list = own.first;
    std::uint32_t count = own.count;
    for (std::size_t at = kChunk - (kChunk - first) % size; at > first;) {
        at -= size;
        auto* block = reinterpret_cast<FreeBlock*>(chunk + at);
        block->next = list;
        list = block;
        ++count;
    }
    own.first = list;
    own.count = count;
}

}  // namespace

void* allocateRecord(std::size_t size) {
    if (size == 0 || size > kLargest) {
        return ::operator new(size);
    }
    const std::size_t index = (size - 1) / kStep;
    Chain& own = cache.lists[index];
    if (own.first == nullptr) {
        refill(index);
    }
    FreeBlock* block = own.first;
    own.first = block->next;
    --own.count;
    return block;
}

void releaseRecord(void* block, std::size_t size) noexcept {
    if (block == nullptr) {
        return;
    }
    if (size == 0 || size > kLargest) {
        ::operator delete(block);
        return;
    }
    const std::size_t index = (size - 1) / kStep;
    auto* freed = static_cast<FreeBlock*>(block);
    if (cache.gone) {
        Shared& pool = shared();
        const std::lock_guard<std::mutex> hold(pool.lock);
        freed->next = pool.lists[index].first;
        pool.lists[index].first = freed;
        ++pool.lists[index].count;
        return;
    }
    Chain& own = cache.lists[index];
    freed->next = own.first;
    own.first = freed;
    if (++own.count > kCached) {
        Shared& pool = shared();
        const std::lock_guard<std::mutex> hold(pool.lock);
        move(own, pool.lists[index], kCached / 2);
    }
}

#else

void* allocateRecord(std::size_t size) {
    return ::operator new(size);
}

void releaseRecord(void* block, std::size_t) noexcept {
    ::operator delete(block);
}

#endif

}  // namespace detail
}  // namespace VelXmlN
