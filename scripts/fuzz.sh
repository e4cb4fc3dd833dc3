#!/usr/bin/env bash
# Fuzzes the reader, the upgrade and the two writers with libFuzzer (target zel_fuzz).
#
#   scripts/fuzz.sh [SECONDS] [LIBFUZZER OPTIONS...]
#
# Builds the fuzz configuration in build-fuzz (clang, AddressSanitizer, UndefinedBehaviorSanitizer),
# writes the seed files to build-fuzz/seeds, and fuzzes for SECONDS (default 60) with the dictionary fuzz/zel.dict and the growing
# corpus in build-fuzz/corpus, which is kept between runs. Crash, leak, timeout and out-of-memory
# inputs are saved in build-fuzz/artifacts; the script exits non-zero when any was found.
#
# Longer and parallel runs:
#   scripts/fuzz.sh 3600                      # one hour, one process
#   scripts/fuzz.sh 3600 -jobs=4 -workers=2   # 4 runs of an hour each, 2 at a time; their output
#                                             # goes to build-fuzz/logs/fuzz-N.log
#   scripts/fuzz.sh 600 -use_value_profile=1  # any further option is passed to libFuzzer
# Replaying one input:
#   build-fuzz/fuzz/zel_fuzz -max_len=200000 build-fuzz/artifacts/crash-...
#
# Environment: MAX_LEN (default 200000) is the largest input in bytes. Needs cmake, clang and
# libclang-rt-14-dev (Debian 12: apt-get install cmake clang libclang-rt-14-dev).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build-fuzz"
seconds=${1:-60}
if [[ $# -gt 0 ]]; then shift; fi
if ! [[ $seconds =~ ^[0-9]+$ ]] || ((seconds == 0)); then
    echo "fuzz.sh: the time must be a whole number of seconds, not '$seconds'" >&2
    exit 2
fi
max_len=${MAX_LEN:-200000}
# The reader charges what it allocates to a budget of 1.5 times the input plus 16 MB, so no single
# allocation may be larger than that: anything above 2 times the largest input plus 24 MB is a
# finding (a count or length that was not checked or charged).
malloc_mb=$(((max_len * 2 + 24 * 1048576 + 1048575) / 1048576))

if [[ ! -f "$build/CMakeCache.txt" ]]; then
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DZELCONV_FUZZ=ON -DZELCONV_UI=OFF \
        -DZELCONV_TESTS=OFF -DZELCONV_BENCH=OFF
fi
cmake --build "$build" -j2 --target zel_fuzz zel_fuzz_seeds

mkdir -p "$build/corpus" "$build/artifacts" "$build/logs"
rm -f "$build"/logs/fuzz-*.log
rm -rf "$build/seeds"
"$build/fuzz/zel_fuzz_seeds" "$build/seeds"

log="$build/logs/fuzz.log"
status=0
# Run from the log folder: with -jobs libFuzzer writes its fuzz-N.log files to the current folder.
(
    cd "$build/logs"
    "$build/fuzz/zel_fuzz" -max_total_time="$seconds" -rss_limit_mb=2048 -malloc_limit_mb="$malloc_mb" \
        -max_len="$max_len" -timeout=10 -print_final_stats=1 -artifact_prefix="$build/artifacts/" \
        -dict="$root/fuzz/zel.dict" "$@" "$build/corpus" "$build/seeds"
) >"$log" 2>&1 || status=$?

# The last progress line and the final statistics of each run.
for f in "$log" "$build"/logs/fuzz-*.log; do
    [[ -f $f ]] || continue
    [[ $f == "$log" ]] || echo "== $(basename "$f")"
    grep -E '^#[0-9]+' "$f" | tail -n 1 || true
    grep -E '^stat::' "$f" || true
done
echo "corpus: $(find "$build/corpus" -type f | wc -l) files in $build/corpus"

if ((status != 0)) || grep -qE 'ERROR: (libFuzzer|AddressSanitizer|LeakSanitizer)|runtime error:' "$log" \
    "$build"/logs/fuzz-*.log 2>/dev/null; then
    echo "fuzz.sh: findings (libFuzzer exit status $status); see $log and $build/artifacts" >&2
    grep -hE 'ERROR: |runtime error:|Test unit written' "$log" "$build"/logs/fuzz-*.log 2>/dev/null | head -n 20 >&2 || true
    exit 1
fi
echo "fuzz.sh: no findings in ${seconds} s"
