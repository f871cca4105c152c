# The benchmarks are not run in CI, only built, so that they keep compiling.
set -euo pipefail
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DPCLXL_BUILD_BENCH=ON \
  -DPCLXL_BUILD_TESTS=OFF -DPCLXL_BUILD_TOOLS=OFF -DPCLXL_BUILD_FILTER=OFF
cmake --build build-bench -j2 --target bench_raster
