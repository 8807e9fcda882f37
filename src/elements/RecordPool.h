// Memory of the element and attribute records (Data, AttributeData): small blocks of a few sizes,
// made and freed in great numbers by every read. They are cut from chunks that each thread fills
// on its own, so a record costs no block header, no search and no lock, and a chunk goes back to
// the global allocator as soon as every record cut from it has been deleted.
#ifndef VELXMLN_SRC_ELEMENTS_RECORDPOOL_H
#define VELXMLN_SRC_ELEMENTS_RECORDPOOL_H

#include <cstddef>

// The sanitizer and valgrind builds take every record from the global allocator, so that they
// see each use after free and each overflow of a record.
// So does Windows: the pool must retire a thread's chunks when the thread ends, and there the
// thread-local destructor that does it was seen not to reach the thread's own chunks (MinGW-w64's
// emulated thread-local storage in a DLL, under Wine), so their memory would never go back.
#if defined(VELXMLN_SANITIZE) || defined(VELXMLN_MEMCHECK) || defined(__SANITIZE_ADDRESS__) || \
    defined(_WIN32)
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

/// A block of `size` bytes, aligned for any record; throws std::bad_alloc when none can be had.
void* allocateRecord(std::size_t size);

/// Gives back a block of allocateRecord(size), from any thread, also after the thread that made
/// it has ended and from static destructors.
void releaseRecord(void* block, std::size_t size) noexcept;

/// The number of chunks the pool holds from the global allocator, over all threads (0 when the
/// pool is compiled out). For tests that check that memory goes back.
std::size_t recordChunks() noexcept;

}  // namespace detail
}  // namespace VelXmlN

#endif
