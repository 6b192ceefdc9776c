#pragma once

#include <cstddef>

// The test program's operator new records its largest request, so a test can
// tell that a hostile header was refused before any pixels were allocated.
// Requests over 1 GiB fail with std::bad_alloc instead of exhausting the
// machine when a limit is missing.
namespace ovix::test {

// The largest request since the last call.
std::size_t takeLargestAllocation();

}  // namespace ovix::test
