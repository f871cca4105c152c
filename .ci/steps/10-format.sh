# Fails on C and C++ sources that clang-format would change.
set -euo pipefail
git ls-files -z '*.c' '*.h' '*.cpp' '*.hpp' | xargs -0 -r clang-format --dry-run --Werror
