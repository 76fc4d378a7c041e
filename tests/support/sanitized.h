#pragma once

// Whether the test program runs under a sanitizer that replaces the
// allocator and keeps shadow memory (address, thread, memory or hardware
// address sanitizer, as GCC or Clang name them). Such a build takes no
// allocator settings, holds on to freed blocks, counts its shadow memory in
// the resident size and runs several times slower, so a test of memory
// figures skips them and a test of a time bound allows more.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VANTOR_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)            \
    || __has_feature(hwaddress_sanitizer)
#define VANTOR_SANITIZED 1
#endif
#endif
#ifndef VANTOR_SANITIZED
#define VANTOR_SANITIZED 0
#endif

constexpr bool kSanitized = VANTOR_SANITIZED != 0;
