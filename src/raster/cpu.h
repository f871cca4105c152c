// Which vector kernels this processor can run: the one place that asks.
// x86-64 always has SSE2; SSSE3 (a byte shuffle) is on nearly every x86-64
// processor in use, but is checked once at run time, as are the newer
// features below.
#ifndef PCLXL_RASTER_CPU_H
#define PCLXL_RASTER_CPU_H

namespace pclxl::raster {

#if defined(__SSE2__)
inline bool have_ssse3() {
    static const bool yes = (__builtin_cpu_init(), __builtin_cpu_supports("ssse3"));
    return yes;
}
#else
inline bool have_ssse3() { return false; }
#endif

// The byte compress and expand of 512-bit vectors (with the byte permutes
// and mask registers they go with, and the bit counts and deposit):
// processors since about 2019. The check includes the operating system's
// support for the wide registers.
#if defined(__x86_64__)
#define PCLXL_HAVE_WIDE_KERNELS 1
inline bool have_avx512_vbmi2() {
    static const bool yes =
        (__builtin_cpu_init(),
         __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
             __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vbmi2") &&
             __builtin_cpu_supports("popcnt") && __builtin_cpu_supports("bmi") &&
             __builtin_cpu_supports("bmi2"));
    return yes;
}
#else
inline bool have_avx512_vbmi2() { return false; }
#endif

} // namespace pclxl::raster

#endif
