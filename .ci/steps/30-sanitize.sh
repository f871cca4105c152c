# The whole suite again under AddressSanitizer (with LeakSanitizer) and
# UndefinedBehaviorSanitizer, with float-to-integer overflow (which gcc leaves
# out of "undefined"). The CUPS chain (label chain) runs in the plain build
# only: cupsfilter runs the system's filters beside ours.
set -euo pipefail
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DPCLXL_SANITIZE=address,undefined,float-cast-overflow
cmake --build build-asan -j2
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j2 -LE chain
