// How the codec picks a processor path, decided here only. SSE2 belongs to x86-64, so its
// routines are compiled in there (VQZ_SSE2); SSSE3 is asked of the processor at run time
// (HasSsse3) and its routines carry a target attribute. Each fast routine has a plain twin that
// every other processor takes, 32-bit x86 included, and that the tests compare it with.
#pragma once

#if defined(__x86_64__)
#define VQZ_SSE2 1
#define VQZ_SSSE3_ROUTINE __attribute__((target("ssse3")))

inline bool HasSsse3() {
  static const bool Has = __builtin_cpu_supports("ssse3");
  return Has;
}
#endif
