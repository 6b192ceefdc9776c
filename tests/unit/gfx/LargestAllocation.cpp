#include "unit/gfx/LargestAllocation.hpp"

#include <atomic>
#include <cstdlib>
#include <new>

namespace ovix::test {
namespace {

std::atomic<std::size_t> largest{0};

// Records the request; nothing for one over 1 GiB.
void* allocate(std::size_t size) noexcept {
  std::size_t seen = largest.load();
  while (size > seen && !largest.compare_exchange_weak(seen, size)) {
  }
  return size <= std::size_t{1} << 30 ? std::malloc(size ? size : 1) : nullptr;
}

}  // namespace

std::size_t takeLargestAllocation() {
  return largest.exchange(0);
}

}  // namespace ovix::test

// Every single-object form that allocates and every one that frees what they
// allocate is replaced, so memory never passes between these and a
// sanitizer's own forms. The array forms are left alone: the library's call
// the single-object ones, and a sanitizer's pair only with each other. (The
// nothrow deletes run only when a constructor throws in a nothrow
// new-expression, which nothing here does.)
void* operator new(std::size_t size) {
  if (void* memory = ovix::test::allocate(size)) return memory;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return ovix::test::allocate(size);
}

void operator delete(void* memory) noexcept {
  std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}
