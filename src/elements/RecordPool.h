// Memory of the element and attribute records (Data, AttributeData): small blocks of a few sizes,
// made and freed in great numbers by every read. They come from chunks of the pool, each size
// with its free list, cached per thread, so a record costs no block header and no search.
#ifndef VELXMLN_SRC_ELEMENTS_RECORDPOOL_H
#define VELXMLN_SRC_ELEMENTS_RECORDPOOL_H

#include <cstddef>

namespace VelXmlN {
namespace detail {

/// A block of `size` bytes, aligned for any record; throws std::bad_alloc when none can be had.
void* allocateRecord(std::size_t size);

/// Gives back a block of allocateRecord(size), from any thread.
void releaseRecord(void* block, std::size_t size) noexcept;

}  // namespace detail
}  // namespace VelXmlN

#endif
