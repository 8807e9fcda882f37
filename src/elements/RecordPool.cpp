#include "elements/RecordPool.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <new>

namespace VelXmlN {
namespace detail {

#if VELXMLN_RECORD_POOL

namespace {

// How the pool works, and why this way:
//
// Each thread cuts the blocks of one size class one after the other from a chunk of its own (a
// pointer bump, no free list to walk), so making a record touches nothing shared. A block finds
// its chunk by masking its address: a chunk is cut into segments at the boundaries of kSegment
// bytes, and each segment starts with the address of its chunk. So deleting a record needs no
// search and no thread-local state, only one atomic decrement of the chunk's count of live
// blocks. That count starts at a large bias owned by the thread that fills the chunk; the thread
// does not count the blocks it hands out (that would be a shared write per record) but gives the
// bias back, less the blocks handed out, when it retires the chunk (when the chunk is full, or
// when the thread ends). The count can therefore reach zero only after retirement, and then
// exactly when the last block cut from the chunk is deleted, on whatever thread, also after the
// filling thread has ended or from a static destructor: whoever brings it to zero frees the chunk.
//
// Chunks are plain blocks of the global allocator, not blocks aligned to their size: an aligned
// block leaves a gap before it that the allocator cannot always fill, and a read's memory grew by
// a tenth that way. Here the bytes before a chunk's first boundary are never touched, so they
// cost address space only.
//
// The price is that a freed block is not cut again: its memory comes back with the rest of its
// chunk. Records are made in bulk by reads and die in bulk with their tree, which suits this; a
// program that keeps a few records of a large tree alive keeps their chunks (at most one chunk
// per live record, never more than the blocks ever made), and one that makes and deletes records
// in turn fills chunks that are freed as soon as they are full.

constexpr std::size_t kStep = alignof(void*);  // sizes are multiples of this, the blocks' alignment
constexpr std::size_t kLargest = 256;          // larger blocks come from the global allocator
constexpr std::size_t kClasses = kLargest / kStep;
constexpr std::uintptr_t kSegment = 64 * 1024;      // a power of two
constexpr std::size_t kChunkBytes = 16 * kSegment;  // what a chunk asks of the global allocator
// A segment's header: the chunk's address, and in the chunk's first segment the chunk itself,
// whose count has a cache line of its own, apart from the records that other threads use.
constexpr std::size_t kHeader = 64;
// More than the blocks of any chunk.
constexpr std::size_t kBias = std::size_t{1} << 40;

struct Chunk {
    Chunk(void* start, std::size_t size, std::size_t count) noexcept
        : owner(this),
          live(count),
          memory(start),
          end(reinterpret_cast<std::uintptr_t>(start) + size) {}
    Chunk* owner;                   // the first word of every segment header
    std::atomic<std::size_t> live;  // blocks not yet deleted, plus the bias until retirement
    void* memory;                   // the global allocator's block
    std::uintptr_t end;             // the address right after it
};

static_assert(sizeof(Chunk) <= kHeader, "the chunk must fit into its first segment's header");

// Constant-initialised and trivially destroyed, so that static destructors may still count.
std::atomic<std::size_t> chunkCount{0};

// A chunk of `bytes` from the global allocator, in the first segment boundary inside it; the
// caller asks for enough that a header and a block fit after that boundary.
Chunk* newChunk(std::size_t bytes, std::size_t live) {
    void* memory = ::operator new(bytes);
    const std::uintptr_t first =
        (reinterpret_cast<std::uintptr_t>(memory) + kSegment - 1) & ~(kSegment - 1);
    chunkCount.fetch_add(1, std::memory_order_relaxed);
    return new (reinterpret_cast<void*>(first)) Chunk(memory, bytes, live);
}

// Takes `count` from the chunk's count, and frees the chunk when that was all of it.
void drop(Chunk* chunk, std::size_t count) noexcept {
    if (chunk->live.fetch_sub(count, std::memory_order_acq_rel) == count) {
        void* memory = chunk->memory;
        chunk->~Chunk();
        chunkCount.fetch_sub(1, std::memory_order_relaxed);
        ::operator delete(memory);
    }
}

// The chunk a thread fills for one size class: blocks are cut at `next` until `end`, in the
// segment that starts at `segment`; `handed` counts the blocks of the chunk's earlier segments.
struct Bump {
    Chunk* chunk;
    char* next;
    char* end;
    std::uintptr_t segment;
    std::size_t handed;
};

// Whether a block of `size` fits into a segment of `chunk` that starts at `boundary`.
bool fits(const Chunk* chunk, std::uintptr_t boundary, std::size_t size) noexcept {
    return boundary + kHeader + size <= chunk->end;
}

// Cuts the next blocks from the segment at `boundary`, which fits a block.
void openSegment(Bump& bump, std::uintptr_t boundary, std::size_t size) noexcept {
    // In the first segment this is the chunk's own first word, which holds the same.
    *reinterpret_cast<Chunk**>(boundary) = bump.chunk;
    const std::uintptr_t first = boundary + kHeader;
    const std::uintptr_t limit = std::min(boundary + kSegment, bump.chunk->end);
    bump.segment = boundary;
    bump.next = reinterpret_cast<char*>(first);
    bump.end = reinterpret_cast<char*>(first + (limit - first) / size * size);
}

// A thread's chunks. Plain data, so that it outlives its thread's destructors: once the
// retirement below has run, `gone` gives the thread's later records chunks of one block.
struct Cache {
    Bump classes[kClasses];
    bool retires;  // the retirement below is registered for this thread
    bool gone;     // the retirement has run
};

thread_local Cache cache;

// The blocks cut from the current segment.
std::size_t cutFrom(const Bump& bump, std::size_t size) noexcept {
    return (reinterpret_cast<std::uintptr_t>(bump.next) - (bump.segment + kHeader)) / size;
}

// Gives a chunk up: the bias goes back, less the blocks cut from it.
void retire(Bump& bump, std::size_t size) noexcept {
    Chunk* chunk = bump.chunk;
    const std::size_t handed = bump.handed + cutFrom(bump, size);
    bump = Bump{nullptr, nullptr, nullptr, 0, 0};
    drop(chunk, kBias - handed);
}

// Retires a thread's chunks when it ends.
struct Retirement {
    Retirement() = default;
    Retirement(const Retirement&) = delete;
    Retirement& operator=(const Retirement&) = delete;
    ~Retirement() {
        for (std::size_t i = 0; i < kClasses; ++i) {
            if (cache.classes[i].chunk != nullptr) {
                retire(cache.classes[i], (i + 1) * kStep);
            }
        }
        cache.gone = true;
    }
};

thread_local Retirement retirement;

// A block for a thread whose segment of class `index` is used up.
void* refill(std::size_t index) {
    const std::size_t size = (index + 1) * kStep;
    if (cache.gone) {
        // The thread is ending and will not retire chunks any more: a chunk of its own for this
        // block, freed with it.
        return reinterpret_cast<char*>(newChunk(kSegment + kHeader + size, 1)) + kHeader;
    }
    if (!cache.retires) {
        cache.retires = true;
        static_cast<void>(&retirement);  // its first use registers its destructor for this thread
    }
    Bump& bump = cache.classes[index];
    if (bump.chunk != nullptr) {
        const std::uintptr_t boundary = bump.segment + kSegment;
        if (fits(bump.chunk, boundary, size)) {
            bump.handed += cutFrom(bump, size);
            openSegment(bump, boundary, size);
            char* block = bump.next;
            bump.next += size;
            return block;
        }
    }
    Chunk* chunk = newChunk(kChunkBytes, kBias);
    if (bump.chunk != nullptr) {
        retire(bump, size);
    }
    bump.chunk = chunk;
    openSegment(bump, reinterpret_cast<std::uintptr_t>(chunk), size);
    char* block = bump.next;
    bump.next += size;
    return block;
}

}  // namespace

void* allocateRecord(std::size_t size) {
    if (size == 0 || size > kLargest) {
        return ::operator new(size);
    }
    const std::size_t index = (size - 1) / kStep;
    Bump& bump = cache.classes[index];
    if (bump.next == bump.end) {
        return refill(index);
    }
    void* block = bump.next;
    bump.next += (index + 1) * kStep;
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
    const std::uintptr_t boundary = reinterpret_cast<std::uintptr_t>(block) & ~(kSegment - 1);
    drop(*reinterpret_cast<Chunk* const*>(boundary), 1);
}

std::size_t recordChunks() noexcept {
    return chunkCount.load(std::memory_order_relaxed);
}

#else

void* allocateRecord(std::size_t size) {
    return ::operator new(size);
}

void releaseRecord(void* block, std::size_t) noexcept {
    ::operator delete(block);
}

std::size_t recordChunks() noexcept {
    return 0;
}

#endif

}  // namespace detail
}  // namespace VelXmlN
