#!/usr/bin/env bash
# Installs the Debian packages that the given purpose needs, when any is missing.
#   scripts/setup.sh run     the window program: compiler, CMake, Qt 6 with its Japanese texts, a
#                            Japanese font
#   scripts/setup.sh test    everything the full test run needs (Linux, Windows under wine, fuzzing,
#                            the window tests on an X server, the Debian package and its checks)
set -euo pipefail
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

run_packages=(g++ cmake ninja-build qt6-base-dev qt6-svg-dev libqt6svg6 qt6-translations-l10n
              fonts-ipafont-gothic)
test_packages=("${run_packages[@]}" libgtest-dev googletest
               g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64
               clang libclang-rt-14-dev
               xvfb openbox x11-utils
               dpkg-dev file lintian man-db desktop-file-utils appstream
               xdotool imagemagick locales nsis zip)

case "${1:-test}" in
run) wanted=("${run_packages[@]}") ;;
test) wanted=("${test_packages[@]}") ;;
*) echo "usage: $0 run|test" >&2; exit 2 ;;
esac

missing=()
for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    zel_apt_get update -qq
    zel_apt_get install -y -qq "${missing[@]}" >/dev/null
fi
