# The CUPS driver end to end: PDFs through cupsfilter with the generated PPD
# and the filter from the test build, checked with `pclxl dump`; bad raster
# into the filter. Runs without a cupsd.
set -euo pipefail
cmake -S . -B build && cmake --build build -j2
bash tests/filter/cups_chain.sh build
