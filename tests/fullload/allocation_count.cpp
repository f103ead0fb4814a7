// Heap allocations counted for the whole process. A plain build replaces the C library's
// allocation functions (and so every library's and operator new's way to the heap) with
// counting ones that hand on to the C library's own; under AddressSanitizer, whose
// allocator must stay in place, its allocation hook counts instead.
#include "allocation_count.h"

#include <atomic>
#include <cerrno>
#include <cstdint>

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
std::atomic<size_t> firstSize{0};

void Count(size_t size) {
  if (!counting.load(std::memory_order_relaxed)) return;
  if (allocations.fetch_add(1, std::memory_order_relaxed) == 0) firstSize.store(size);
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
#define BRAKKEL_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BRAKKEL_UNDER_ASAN 1
#endif
#endif

#ifdef BRAKKEL_UNDER_ASAN

extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void*, size_t),
                                                         void (*freeHook)(const volatile void*));

namespace {
void OnMalloc(const volatile void*, size_t size) { Count(size); }
void OnFree(const volatile void*) {}
const bool hooked = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
}  // namespace

#else

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* block);

void* malloc(size_t size) {
  Count(size);
  return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
  Count(count * size);
  return __libc_calloc(count, size);
}
void* realloc(void* block, size_t size) {
  Count(size);
  return __libc_realloc(block, size);
}
void* memalign(size_t alignment, size_t size) {
  Count(size);
  return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
  Count(size);
  return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, size_t alignment, size_t size) {
  if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) return EINVAL;
  Count(size);
  void* block = __libc_memalign(alignment, size);
  if (block == nullptr) return ENOMEM;
  *out = block;
  return 0;
}
void free(void* block) { __libc_free(block); }
}

#endif

namespace fullload {

void StartCounting() {
  allocations = 0;
  firstSize = 0;
  counting = true;
}

long StopCounting(size_t& first) {
  counting = false;
  first = firstSize;
  return allocations;
}

}  // namespace fullload
