#!/usr/bin/env bash
# Cross-builds the Windows programs and their tests with mingw-w64 and runs the tests under wine.
#
#   scripts/windows-tests.sh [ctest arguments...]
#
# Builds GoogleTest for mingw first when it is missing (build-win-deps/gtest), configures and
# builds build-win (zelconv.exe with its Win32 windows, zelconv-cli.exe and the tests; no
# benchmark), then runs ctest with a private wine prefix in build-win/wineprefix and one persistent
# wineserver that is stopped again at the end. Needs no display: the window tests draw with wine's
# null graphics driver, and "ＭＳ Ｐゴシック" is replaced by IPA P Gothic
# (scripts/wine-prefix.sh). Environment: JOBS (default 2), BUILD_TYPE (default Debug),
# TARGETS (default: everything; for example "platform_tests" to build and list only that program,
# then pass "-R <regex>" to run only its tests).
set -euo pipefail

# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
build="$root/build-win"
deps="$root/build-win-deps"
gtest_prefix="$deps/gtest"
toolchain="$root/cmake/mingw-w64-x86_64.cmake"
jobs="${JOBS:-2}"
build_type="${BUILD_TYPE:-Debug}"

step() { printf '\n== %s\n' "$*"; }

# --- GoogleTest, cross-built once -------------------------------------------------------------
if [[ ! -f "$gtest_prefix/lib/cmake/GTest/GTestConfig.cmake" ]]; then
    step "Building GoogleTest for mingw-w64 into $gtest_prefix"
    src=/usr/src/googletest
    [[ -f "$src/CMakeLists.txt" ]] || { echo "missing $src (apt-get install googletest)" >&2; exit 1; }
    mapfile -t generator < <(zel_generator "$deps/gtest-build")
    cmake -S "$src" -B "$deps/gtest-build" "${generator[@]}" \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$gtest_prefix" -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON \
        -DBUILD_SHARED_LIBS=OFF -DCMAKE_CXX_FLAGS="-Wno-error" >/dev/null
    cmake --build "$deps/gtest-build" -j "$jobs"
    cmake --install "$deps/gtest-build" >/dev/null
fi

# --- The Windows tree ------------------------------------------------------------------------
step "Configuring $build"
mapfile -t generator < <(zel_generator "$build")
cmake -S "$root" -B "$build" "${generator[@]}" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE="$build_type" \
    -DZELCONV_MINGW_PREFIX="$gtest_prefix" -DGTest_DIR="$gtest_prefix/lib/cmake/GTest" \
    -DZELCONV_UI=ON -DZELCONV_BENCH=OFF -DZELCONV_TESTS=ON -DZELCONV_WERROR=ON >/dev/null

step "Building${TARGETS:+ $TARGETS}"
if [[ -n "${TARGETS:-}" ]]; then
    # shellcheck disable=SC2086 # a list of target names
    cmake --build "$build" -j "$jobs" --target $TARGETS
else
    cmake --build "$build" -j "$jobs"
fi

# --- wine, headless, with its own prefix -----------------------------------------------------
stop_wineserver() { wineserver -k >/dev/null 2>&1 || true; }
trap stop_wineserver EXIT

# Create the prefix now, so that the first test program does not pay for it (and time out).
zel_wine "$build/wineprefix" null

step "Starting wineserver (prefix $WINEPREFIX)"
wineserver -p

# ctest lists every program's tests first, with a 5-second limit per program; list them once
# here, so that wine's start-up work and a cold disk cache do not count against that limit.
step "Warming up wine"
while IFS= read -r -d '' program; do
    wine "$program" --gtest_list_tests >/dev/null 2>&1 || true
done < <(find "$build" -name '*_tests.exe' -print0)

step "Running the tests under wine"
cd "$build"
ctest --output-on-failure --timeout 120 "$@"
