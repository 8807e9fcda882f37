#include "nodelib/NodeArena.h"

#include <cstdint>
#include <cstdlib>
#include <new>

namespace kasxmln {
namespace detail {

struct ArenaBlock {
    bool sealed;
    std::size_t live;
};

namespace {

// Large enough that block upkeep is rare, small enough to be given back soon while a tree is
// being destroyed in document order.
constexpr std::size_t kBlockSize = 256u * 1024u;

// Objects larger than this (long child arrays) come from the heap.
constexpr std::size_t kLargest = 2048;

constexpr std::size_t kAlign = 8;

// Each block handed out is preceded by this header.
struct Header {
    ArenaBlock* block;
};
static_assert(sizeof(Header) == kAlign, "the header keeps 8-byte alignment");

constexpr std::size_t kFirstOffset = (sizeof(ArenaBlock) + kAlign - 1) / kAlign * kAlign;

std::size_t rounded(std::size_t size) {
    return (size + kAlign - 1) / kAlign * kAlign;
}

Header* headerOf(const void* memory) {
    return static_cast<Header*>(const_cast<void*>(memory)) - 1;
}

void seal(ArenaBlock* block) noexcept {
    block->sealed = true;
    if (block->live == 0) {
        std::free(block);
    }
}

}  // namespace

NodeArena::~NodeArena() {
    if (current_ != nullptr) {
        seal(current_);
    }
}

void* NodeArena::allocate(std::size_t size) {
    const std::size_t need = sizeof(Header) + rounded(size);
    if (size > kLargest) {
        return allocateOnHeap(size);
    }
    if (current_ == nullptr || static_cast<std::size_t>(end_ - cursor_) < need) {
        void* fresh = std::malloc(kBlockSize);
        if (fresh == nullptr) {
            throw std::bad_alloc();
        }
        if (current_ != nullptr) {
            seal(current_);
        }
        current_ = static_cast<ArenaBlock*>(fresh);
        current_->sealed = false;
        current_->live = 0;
        cursor_ = static_cast<char*>(fresh) + kFirstOffset;
        end_ = static_cast<char*>(fresh) + kBlockSize;
    }
    auto* header = reinterpret_cast<Header*>(cursor_);
    header->block = current_;
    ++current_->live;
    cursor_ += need;
    return header + 1;
}

// Heap blocks keep the alignment of malloc (16 bytes), which classes derived from the nodes may
// need: the header sits in the last 8 bytes of a 16-byte prefix.
constexpr std::size_t kHeapPrefix = 2 * sizeof(Header);

void* allocateOnHeap(std::size_t size) {
    void* memory = std::malloc(kHeapPrefix + size);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    auto* header = static_cast<Header*>(memory) + 1;
    header->block = nullptr;
    return header + 1;
}

void release(void* memory) noexcept {
    if (memory == nullptr) {
        return;
    }
    Header* header = headerOf(memory);
    ArenaBlock* block = header->block;
    if (block == nullptr) {
        std::free(header - 1);
        return;
    }
    if (--block->live == 0 && block->sealed) {
        std::free(block);
    }
}

}  // namespace detail
}  // namespace kasxmln
