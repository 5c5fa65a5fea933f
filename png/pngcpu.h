// How the codec picks a processor path, decided here only. SSE2 belongs to x86-64, so its
// routines are compiled in there (VQZ_SSE2); SSSE3, AVX-512 with byte permutes (VBMI) and with
// byte dot products (VNNI) are asked of the processor at run time (HasSsse3, HasAvx512Vbmi,
// HasAvx512Vnni) and their routines carry a target attribute. Each fast routine has a plain twin
// that every other processor takes, 32-bit x86 included, and that the tests compare it with.
#pragma once

#if defined(__x86_64__)
#define VQZ_SSE2 1
#define VQZ_SSSE3_ROUTINE __attribute__((target("ssse3")))

inline bool HasSsse3() {
  static const bool Has = __builtin_cpu_supports("ssse3");
  return Has;
}

#define VQZ_AVX512_VBMI_ROUTINE __attribute__((target("avx512f,avx512bw,avx512vbmi")))

inline bool HasAvx512Vbmi() {
  static const bool Has =
      __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi");
  return Has;
}

#define VQZ_AVX512_VNNI_ROUTINE __attribute__((target("avx512f,avx512bw,avx512vnni")))

inline bool HasAvx512Vnni() {
  static const bool Has =
      __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vnni");
  return Has;
}

// Code built for AVX, ISA-L's among it, may return with the upper halves of the vector registers
// in use. Until they are cleared, every SSE instruction that follows waits on the whole register:
// undoing Average filters on 4-byte pixels took twice as long after ISA-L had run.
__attribute__((target("avx"))) inline void ClearUpperHalvesWithAvx() {
  __builtin_ia32_vzeroupper();
}

inline void ClearUpperVectorHalves() {
  static const bool HasAvx = __builtin_cpu_supports("avx");
  if (HasAvx)
    ClearUpperHalvesWithAvx();
}
#else
inline void ClearUpperVectorHalves() {}
#endif
