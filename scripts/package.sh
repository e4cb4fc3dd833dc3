#!/usr/bin/env bash
# Builds the packages: dist/zelconv_<version>_amd64.deb (the window program, zelconv-cli, their
# manual pages, the desktop entry, the icons and the AppStream data), with Debian's hardening flags
# and dependencies computed from the programs; then the Windows packages, where
# scripts/package-windows.sh exists. Needs dpkg-dev and file (scripts/setup.sh test installs them).
#   scripts/package.sh        both
#   scripts/package.sh deb    the Debian package only
set -euo pipefail
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$root"
build=build/package
mkdir -p dist
# Every hardening feature of dpkg-buildflags, binding at start included.
export DEB_BUILD_MAINT_OPTIONS="${DEB_BUILD_MAINT_OPTIONS:-hardening=+all}"

mapfile -t generator < <(zel_generator "$build")
cmake -S . -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    -DZELCONV_TESTS=OFF -DZELCONV_BENCH=OFF -DZELCONV_WERROR=ON >/dev/null
cmake --build "$build" -j "${JOBS:-2}"
rm -f "$build"/zelconv_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/zelconv_*_amd64.deb)
mv -f "$deb" dist/
echo "dist/$(basename "$deb")"

if [[ ${1:-all} != deb && -x scripts/package-windows.sh ]]; then
    scripts/package-windows.sh
fi
