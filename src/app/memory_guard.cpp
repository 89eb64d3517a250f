// Linked into the programs (not the libraries): the global allocation functions, so that an
// allocation that cannot be satisfied ends the process through FailMemory with the number of bytes
// it asked for, rather than as an exception that nothing in the system is prepared to catch.
// Allocations go to malloc and aligned_alloc and every delete goes to free, so the pairs stay
// consistent for the sanitizers too. The nothrow forms keep their contract and return null.
#include <cstdlib>
#include <new>

#include "app/fatal.h"

namespace {

void* Allocate(std::size_t size, std::size_t alignment) {
  if (size == 0) size = 1;
  for (;;) {
    void* p = nullptr;
    if (alignment <= alignof(std::max_align_t)) {
      p = std::malloc(size);
    } else {
      // aligned_alloc wants a size that is a multiple of the alignment.
      const std::size_t rounded = (size + alignment - 1) / alignment * alignment;
      p = rounded < size ? nullptr : std::aligned_alloc(alignment, rounded);
    }
    if (p) return p;
    // A program that installed a new-handler gets its chance to free memory, as the language
    // promises; without one the process ends here.
    std::new_handler handler = std::get_new_handler();
    if (!handler) morvane::FailMemory(size);
    handler();
  }
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size, 0); }
void* operator new[](std::size_t size) { return Allocate(size, 0); }
void* operator new(std::size_t size, std::align_val_t al) {
  return Allocate(size, static_cast<std::size_t>(al));
}
void* operator new[](std::size_t size, std::align_val_t al) {
  return Allocate(size, static_cast<std::size_t>(al));
}

// The nothrow forms: a failure is the caller's to handle, so null comes back and nothing ends.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size ? size : 1);
}
void* operator new(std::size_t size, std::align_val_t al, const std::nothrow_t&) noexcept {
  const auto alignment = static_cast<std::size_t>(al);
  const std::size_t rounded = ((size ? size : 1) + alignment - 1) / alignment * alignment;
  return std::aligned_alloc(alignment, rounded);
}
void* operator new[](std::size_t size, std::align_val_t al, const std::nothrow_t& tag) noexcept {
  return operator new(size, al, tag);
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
