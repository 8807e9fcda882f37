// A replacement of the global allocator for this test program: every form of operator new and
// delete goes through it. While a trial runs it counts the allocations, makes the chosen one fail
// (std::bad_alloc, or null for the nothrow forms) and counts which of the blocks made during the
// trial are given back.
#ifndef VELXMLN_TESTS_ALLOC_FAILINGALLOCATOR_H
#define VELXMLN_TESTS_ALLOC_FAILINGALLOCATOR_H

#include <cstddef>

namespace testsupport {

/// Starts a trial: allocation number `failAt` (counted from 1) fails; 0 lets every one succeed.
void begin(std::size_t failAt) noexcept;

/// Ends the trial: no allocation fails any more, blocks made from now on are not counted.
void end() noexcept;

/// Whether the chosen allocation of the current or last trial was reached and failed.
bool failed() noexcept;

/// Blocks made during a trial that are still not given back (across trials, until reset).
long long outstanding() noexcept;

/// Forgets the outstanding blocks of earlier trials.
void reset() noexcept;

}  // namespace testsupport

#endif
