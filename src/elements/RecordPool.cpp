#include "elements/RecordPool.h"

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
// pointer bump, no free list to walk), so making a record touches nothing shared. Every chunk is
// aligned to its size, so a block finds its chunk by masking its address: deleting a record needs
// no search and no thread-local state, only one atomic decrement of the chunk's count of live
// blocks. That count starts at a large bias owned by the thread that fills the chunk; the thread
// does not count the blocks it hands out (that would be a shared write per record) but gives the
// bias back, less the blocks handed out, when it retires the chunk (when the chunk is full, or
// when the thread ends). The count can therefore reach zero only after retirement, and then
// exactly when the last block cut from the chunk is deleted, on whatever thread, also after the
// filling thread has ended or from a static destructor: whoever brings it to zero frees the chunk.
//
// The price is that a freed block is not cut again: its memory comes back with the rest of its
// chunk. Records are made in bulk by reads and die in bulk with their tree, which suits this; a
// program that keeps a few records of a large tree alive keeps their chunks (at most one chunk
// per live record, never more than the blocks ever made), and one that makes and deletes records
// in turn fills chunks that are freed as soon as they are full.

constexpr std::size_t kStep = alignof(void*);  // sizes are multiples of this, the blocks' alignment
constexpr std::size_t kLargest = 256;          // larger blocks come from the global allocator
constexpr std::size_t kClasses = kLargest / kStep;
constexpr std::size_t kChunk = std::size_t{64} * 1024;  // the size and alignment of a chunk
// A chunk asks for a little less than its alignment, so that the global allocator's own header of
// the next chunk fits before the next boundary and chunks made one after the other lie end to end.
constexpr std::size_t kChunkBytes = kChunk - 2 * sizeof(void*);
// The chunk's count has a cache line of its own, apart from the records that other threads use.
constexpr std::size_t kHeader = 64;
// More than the blocks of any chunk.
constexpr std::size_t kBias = std::size_t{1} << 40;

struct Chunk {
    explicit Chunk(std::size_t count) noexcept : live(count) {}
    std::atomic<std::size_t> live;  // blocks not yet deleted, plus the bias until retirement
};

static_assert(sizeof(Chunk) <= kHeader, "the chunk header must fit before the first block");

// Constant-initialised and trivially destroyed, so that static destructors may still count.
std::atomic<std::size_t> chunkCount{0};

Chunk* newChunk(std::size_t bytes, std::size_t live) {
    void* memory = ::operator new (bytes, std::align_val_t{kChunk});
    chunkCount.fetch_add(1, std::memory_order_relaxed);
    return new (memory) Chunk(live);
}

// Takes `count` from the chunk's count, and frees the chunk when that was all of it.
void drop(Chunk* chunk, std::size_t count) noexcept {
    if (chunk->live.fetch_sub(count, std::memory_order_acq_rel) == count) {
        chunk->~Chunk();
        chunkCount.fetch_sub(1, std::memory_order_relaxed);
        ::operator delete (chunk, std::align_val_t{kChunk});
    }
}

char* blocksOf(Chunk* chunk) noexcept {
    return reinterpret_cast<char*>(chunk) + kHeader;
}

// The chunk a thread fills for one size class: blocks are cut at `next` until `end`.
struct Bump {
    Chunk* chunk;
    char* next;
    char* end;
};

// A thread's chunks. Plain data, so that it outlives its thread's destructors: once the
// retirement below has run, `gone` gives the thread's later records chunks of one block.
struct Cache {
    Bump classes[kClasses];
    bool retires;  // the retirement below is registered for this thread
    bool gone;     // the retirement has run
};

thread_local Cache cache;

// Gives a chunk up: the bias goes back, less the blocks cut from it.
void retire(Bump& bump, std::size_t size) noexcept {
    Chunk* chunk = bump.chunk;
    const auto handed = static_cast<std::size_t>(bump.next - blocksOf(chunk)) / size;
    bump = Bump{nullptr, nullptr, nullptr};
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

// A block for a thread whose full chunk of class `index` is used up.
void* refill(std::size_t index) {
    const std::size_t size = (index + 1) * kStep;
    if (cache.gone) {
        // The thread is ending and will not retire chunks any more: a chunk of its own for this
        // block, freed with it.
        return blocksOf(newChunk(kHeader + size, 1));
    }
    if (!cache.retires) {
        cache.retires = true;
        static_cast<void>(&retirement);  // its first use registers its destructor for this thread
    }
    Chunk* chunk = newChunk(kChunkBytes, kBias);
    Bump& bump = cache.classes[index];
    if (bump.chunk != nullptr) {
        retire(bump, size);
    }
    char* first = blocksOf(chunk);
    bump = Bump{chunk, first + size, first + (kChunkBytes - kHeader) / size * size};
    return first;
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
    const auto address = reinterpret_cast<std::uintptr_t>(block);
    drop(reinterpret_cast<Chunk*>(address & ~std::uintptr_t{kChunk - 1}), 1);
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
