#include "unit/gfx/LargestAllocation.hpp"

#include <atomic>
#include <cstdlib>
#include <new>

namespace ovix::test {
namespace {

std::atomic<std::size_t> largest{0};

}  // namespace

void resetLargestAllocation() {
  largest = 0;
}

std::size_t largestAllocation() {
  return largest;
}

}  // namespace ovix::test

// Every allocating and freeing form is replaced, so memory never passes
// between these and a sanitizer's own forms.
void* operator new(std::size_t size) {
  std::size_t seen = ovix::test::largest.load();
  while (size > seen && !ovix::test::largest.compare_exchange_weak(seen, size)) {
  }
  if (size <= ovix::test::kRefusedAbove) {
    if (void* memory = std::malloc(size ? size : 1)) return memory;
  }
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}

void operator delete(void* memory) noexcept {
  std::free(memory);
}
void operator delete[](void* memory) noexcept {
  std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
  std::free(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
  std::free(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
  std::free(memory);
}
