// Which vector kernels this processor can run: the one place that asks.
// x86-64 always has SSE2; SSSE3 (a byte shuffle) is on nearly every x86-64
// processor in use, but is checked once at run time.
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

} // namespace pclxl::raster

#endif
