#!/usr/bin/env bash
# Installs what is missing, then builds and passes every test: the Linux build with its tests
# under AddressSanitizer and UndefinedBehaviorSanitizer (the window tests once more on an X server
# with a window manager), the Windows build of the window program and the command line with their tests
# under wine, a bounded fuzz run of the reader, a plain Release build with Clang, and the Debian
# package installed, checked and removed again; the Windows window used under wine as a person
# would, and the Windows installer installed and removed under wine.
#   FUZZ_SECONDS (default 60) sets the length of the fuzz run.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
start=$SECONDS
step() { printf '\n=== %s (%d s)\n' "$*" $((SECONDS - start)); }

step "Packages"
scripts/setup.sh test

step "Linux build and tests"
cmake --preset test >/dev/null
cmake --build --preset test -j "${JOBS:-2}"
ctest --preset test -j "${JOBS:-2}"

step "Window tests on an X server with a window manager (Xvfb, openbox)"
scripts/ui-tests-x11.sh

step "Windows build and tests under wine"
scripts/windows-tests.sh

step "Fuzzing the reader for ${FUZZ_SECONDS:-60} s"
scripts/fuzz.sh "${FUZZ_SECONDS:-60}"

step "A packager's plain Release build with Clang and its tests, installed: its programs hold no test seam"
CC=clang CXX=clang++ cmake -S . -B build/plain-clang -DCMAKE_BUILD_TYPE=Release -DZELCONV_TESTS=ON >/dev/null
cmake --build build/plain-clang -j "${JOBS:-2}"
scripts/check-no-seams.sh build/plain-clang

step "The Windows and the Linux zelconv-cli give the same files"
scripts/cross-check.sh

step "The Windows window used as a person would (wine on Xvfb with openbox)"
scripts/windows-look.sh

step "Debian package: build, lintian, install, check, remove"
scripts/package.sh deb
scripts/check-package.sh

step "Windows packages: zip and installer, installed and removed under wine"
scripts/package-windows.sh
scripts/check-windows-installer.sh

step "All tests passed"
