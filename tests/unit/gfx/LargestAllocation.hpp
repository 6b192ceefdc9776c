#pragma once

#include <cstddef>

// The test program's operator new records its largest request, so a test can
// tell that a hostile header was refused before any pixels were allocated.
// Requests over kRefusedAbove fail with std::bad_alloc instead of exhausting
// the machine when a limit is missing.
namespace ovix::test {

inline constexpr std::size_t kRefusedAbove = std::size_t{1} << 30;

void resetLargestAllocation();
std::size_t largestAllocation();

}  // namespace ovix::test
