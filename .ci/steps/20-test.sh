# The README's test command, as written there (the second sh block).
set -euo pipefail
cmd=$(awk '/^```sh$/ { n++; next } /^```$/ { next } n == 2 { print; exit }' README.md)
echo "$cmd"
bash -c "$cmd"
