# Sourced by the shell scenarios with BUILD_DIR as $1: failures counted,
# documents made with ghostscript, jobs read back with `pclxl dump`.
set -euo pipefail
export LC_ALL=C
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
tool=$build/tools/pclxl/pclxl
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
finish() { echo "$1: $failures failure(s)"; [ "$failures" = 0 ]; }

# need FILE|PROGRAM...: stops the scenario when one is missing, with exit
# status 77, which CTest reports as a skipped test.
need() {
  local x
  for x; do
    [ -e "$x" ] || command -v "$x" >/dev/null ||
      { echo "missing $x (build the whole tree; install the packages in .ci/packages.txt)"; exit 77; }
  done
}
need "$tool" gs

# page_ps PAGES: each page has its number, a black bar one inch from the
# top left corner of the sheet, a gray and a red area.
page_ps() {
  printf '%%!PS\n/Helvetica findfont 40 scalefont setfont 1 1 %s {\n' "$1"
  printf '  /n exch def 0 setgray 72 748 72 22 rectfill 72 600 moveto (Page ) show n 3 string cvs show
  0.5 setgray 72 400 200 150 rectfill 1 0 0 setrgbcolor 320 400 200 150 rectfill showpage\n} for\n'
}
# gs_doc DEVICE OUTPUT PS-FILE [GS-OPTION...]: the PostScript on A4 sheets.
gs_doc() {
  local device=$1 out=$2 in=$3
  shift 3
  gs -q -dBATCH -dNOPAUSE -dSAFER -sDEVICE="$device" -sPAPERSIZE=a4 "$@" -sOutputFile="$out" \
    "$in" >/dev/null 2>&1
}

# check_job NAME FILE PAGES COPIES TEXT...: `pclxl dump` reads FILE as one
# whole job of PAGES pages, each printed COPIES times, and shows every TEXT
# (a PJL line or a command's attribute as it prints them).
check_job() {
  local name=$1 out=$2 pages=$3 copies=$4 text
  shift 4
  if ! "$tool" dump "$out" >"$out.dump" 2>&1; then
    fail "$name: not a whole job: $(tail -n 1 "$out.dump")"
    return
  fi
  "$tool" dump --summary "$out" >"$out.summary"
  grep -q "^pages: $pages\$" "$out.summary" || fail "$name: $(grep '^pages:' "$out.summary"), not $pages"
  [ "$(grep -c "^  page .*copies $copies\$" "$out.summary")" = "$pages" ] ||
    fail "$name: not every page has $copies copies"
  for text; do
    grep -a -q -F -- "$text" "$out.dump" || fail "$name: no '$text' in the job"
  done
  pass "$name: $pages pages, $copies copies each, $(stat -c %s "$out") bytes"
}
