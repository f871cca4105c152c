# The CUPS driver end to end: PDFs through cupsfilter with the generated PPD
# and the filters from the test build, checked with `pclxl dump`; noise into
# the PDF filter and SIGTERM to the raster filter. Runs without a cupsd.
set -euo pipefail
cmake -S . -B build && cmake --build build -j2
bash tests/filter/cups_chain.sh build
