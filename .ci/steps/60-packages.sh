# The Debian packages: built from the tree by packaging/deb/build.sh, then
# installed with apt, the printer application started from the installed
# files as its service user, a PDF printed through it and through the CUPS
# driver, the packages reinstalled and purged (tests/package/deb_install.sh).
set -euo pipefail
mkdir -p build-deb
packaging/deb/build.sh build-deb >build-deb/build.log 2>&1 || { tail -n 40 build-deb/build.log; exit 1; }
bash tests/package/deb_install.sh build-deb/deb
