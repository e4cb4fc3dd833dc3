#!/usr/bin/env bash
# Builds the Windows packages into dist/: zelconv-<version>-win64.zip (zelconv.exe, zelconv-cli.exe
# and a Japanese read-me in one folder) and the installer zelconv-<version>-win64-setup.exe
# (packaging/windows/zelconv.nsi, NSIS). The programs are cross-built with mingw-w64 and every
# default option into build/package-win, statically linked and stripped: they need no DLL beyond
# Windows' own. scripts/package.sh calls it; scripts/check-windows-installer.sh tries the installer.
# Environment: PACKAGE_WIN_BUILD, another build folder than build/package-win; DIST, another
# output folder than dist.
set -euo pipefail
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$root"
build="${PACKAGE_WIN_BUILD:-build/package-win}"
dist="${DIST:-dist}"
version=$(zel_version)
IFS=. read -r major minor build_number <<<"$version"
name="zelconv-$version-win64"

mapfile -t generator < <(zel_generator "$build")
cmake -S . -B "$build" "${generator[@]}" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DZELCONV_TESTS=OFF -DZELCONV_WERROR=ON >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target zelconv zelconv-cli

stage="$build/$name"
rm -rf "$stage" && mkdir -p "$stage" "$dist"
for program in app/zelconv cli/zelconv-cli; do
    x86_64-w64-mingw32-strip -o "$stage/$(basename "$program").exe" "$build/src/$program.exe"
done
# Notepad of every Windows reads the read-me as UTF-8 with its byte-order mark and CR LF lines.
{ printf '\xef\xbb\xbf'; sed 's/$/\r/' packaging/windows/README-ja.txt; } >"$stage/README-ja.txt"
# The same sources give the same archive: every file dated by the last commit.
stamp=$(git log -1 --format=%ct 2>/dev/null || date +%s)
touch -d "@$stamp" "$stage" "$stage"/*

dist=$(cd "$dist" && pwd)
rm -f "$dist/$name.zip"
(cd "$build" && zip -q -X -r "$dist/$name.zip" "$name")
echo "$dist/$name.zip"

makensis -V2 -DVERSION="$version" -DFILE_VERSION="$major.$minor.0.$build_number" \
    -DSTAGE="$(cd "$stage" && pwd)" -DICON="$root/src/ui/pictures/zelconv.ico" \
    -DOUTFILE="$dist/$name-setup.exe" packaging/windows/zelconv.nsi
echo "$dist/$name-setup.exe"
