// Building a hot loop twice on x86-64, once for a wider instruction set (taken where the
// processor has it) and once for the baseline. Not in the sanitizer builds: the loader picks
// the clone before the sanitizer's runtime has started, and the instrumented picker crashes.
#pragma once

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ZTLIVE_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZTLIVE_SANITIZED 1
#endif

#if defined(__x86_64__) && defined(__linux__) && defined(__has_attribute) && !defined(ZTLIVE_SANITIZED)
#if __has_attribute(target_clones)
// AVX2 with FMA (the x86-64-v3 level), on any processor that has them.
#define ZTLIVE_CLONES_AVX2_FMA __attribute__((target_clones("arch=x86-64-v3", "default")))
// AVX2 alone, on any processor that has it.
#define ZTLIVE_CLONES_AVX2 __attribute__((target_clones("avx2", "default")))
#endif
#endif
#ifndef ZTLIVE_CLONES_AVX2_FMA
#define ZTLIVE_CLONES_AVX2_FMA
#define ZTLIVE_CLONES_AVX2
#endif
