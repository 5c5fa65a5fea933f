// What the processor offers beyond the x86-64 baseline, asked once.
#pragma once

#if defined(__x86_64__) || defined(__i386__)
#define VQZ_X86 1

inline bool HasSsse3() {
  static const bool Has = __builtin_cpu_supports("ssse3");
  return Has;
}
#endif
