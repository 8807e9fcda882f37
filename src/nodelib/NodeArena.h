// Memory for the objects of node trees. Nodes, attributes and their arrays are small and made and
// destroyed by the million; taking them from large blocks, in the order in which a document is
// read or built, makes them cheap to make and to destroy, and keeps them out of the general
// allocator's free lists (whose upkeep otherwise costs more than the parse itself).
//
// Every block handed out starts with a header naming the arena block it lies in, or null for one
// taken from the general heap, so that one release function frees both kinds. A block of the
// arena is given back when it is sealed (no longer handed out from) and its last object is
// released; objects may therefore outlive the arena that made them.
#ifndef VELXMLN_SRC_NODELIB_NODEARENA_H
#define VELXMLN_SRC_NODELIB_NODEARENA_H

#include <cstddef>

namespace kasxmln {
namespace detail {

struct ArenaBlock;

/// Shared by a document and the nodes made through it (counted references): it lives while any of
/// them does, so that nodes added to a tree later come from it too.
class NodeArena {
  public:
    /// A new arena with one reference, the caller's.
    static NodeArena* create() { return new NodeArena(); }

    NodeArena(const NodeArena&) = delete;
    NodeArena& operator=(const NodeArena&) = delete;

    void retain() noexcept { ++references_; }

    /// Drops one reference; the last one destroys the arena, which seals its block.
    void drop() noexcept {
        if (--references_ == 0) {
            delete this;
        }
    }

    /// `size` bytes aligned to 8, from the arena (or from the heap when large). Throws
    /// std::bad_alloc.
    void* allocate(std::size_t size);

  private:
    NodeArena() noexcept = default;
    ~NodeArena();

    std::size_t references_ = 1;
    ArenaBlock* current_ = nullptr;
    char* cursor_ = nullptr;
    char* end_ = nullptr;
};

/// `size` bytes aligned to 16 from the general heap, releasable with release(). Throws
/// std::bad_alloc.
void* allocateOnHeap(std::size_t size);

/// `size` bytes from `arena`, or from the heap when `arena` is null.
inline void* allocateIn(NodeArena* arena, std::size_t size) {
    return arena != nullptr ? arena->allocate(size) : allocateOnHeap(size);
}

/// Releases a block of allocate() or allocateOnHeap(); null does nothing.
void release(void* memory) noexcept;

}  // namespace detail
}  // namespace kasxmln

#endif
