#!/usr/bin/env bash
# Kills the Windows zelconv-cli.exe under wine with kill -9 at random moments, over and over, on
# four paths (1.00 and 1.01 in place, -o to a new file, -o over another file), and checks after
# each kill that the target is its old content, a complete 1.01 file (1.00 sources) or exactly
# what the Linux program converts it to, that the backup is complete or absent, and that one more
# run leaves no temporary file. Not part of the test command (a few minutes); the crash test of the
# test programs stops the write at every step instead.
#
#   scripts/kill-windows.sh [KILLS]   (default 120)
#
# Runs after scripts/test.sh has built build/test, build-win and the fuzz seeds (build-fuzz/seeds).
set -euo pipefail
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
kills="${1:-120}"
linux_cli="$root/build/test/src/cli/zelconv-cli"
windows_cli="$root/build-win/src/cli/zelconv-cli.exe"
seeds="$root/build-fuzz/seeds"
for f in "$linux_cli" "$windows_cli" "$seeds/two-anchors-100.zel"; do
    [[ -f $f ]] || { echo "missing $f (run scripts/test.sh first)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'pkill -9 -f zelconv-cli.exe 2>/dev/null || true; wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
zel_wine "$root/build-win/wineprefix" null
wineserver -p

# What each source becomes: the Linux program's conversion.
for version in 100 101; do
    cp "$seeds/two-anchors-$version.zel" "$work/source-$version.zel"
    cp "$work/source-$version.zel" "$work/expected-$version.zel"
    "$linux_cli" --yes "$work/expected-$version.zel" >/dev/null 2>&1
    rm -f "$work/expected-$version.bak"
done
head -c 5000 /dev/urandom >"$work/other"

# How long one conversion takes here, start of wine included (the shortest of three): half of the
# kills fall anywhere within it; the other half shortly after the conversion's first file appears.
mkdir "$work/time"
span_ms=100000
for _ in 1 2 3; do
    cp "$work/source-100.zel" "$work/time/site.zel" && rm -f "$work/time/site.bak"
    begin=$(date +%s%N)
    wine "$windows_cli" --yes "$work/time/site.zel" >/dev/null 2>&1
    took=$(( ($(date +%s%N) - begin) / 1000000 ))
    (( took < span_ms )) && span_ms=$took
done
echo "one conversion under wine: ${span_ms} ms; killing ${kills} times"
random_seconds() { awk -v r="$RANDOM" -v s="$1" 'BEGIN { printf "%.3f", r / 32767 * s / 1000 }'; }

paths=(in-place-100 in-place-101 new-file over-another)
declare -A outcome
bad=0 left=0
for ((i = 0; i < kills; i++)); do
    path=${paths[i % 4]}
    version=100
    [[ $path == in-place-101 ]] && version=101
    dir="$work/run"
    rm -rf "$dir" && mkdir "$dir"
    cp "$work/source-$version.zel" "$dir/site.zel"
    args=(--yes "$dir/site.zel")
    target="$dir/site.zel" backup="$dir/site.bak" old="$work/source-$version.zel"
    case $path in
    new-file) args=(--yes -o "$dir/out.zel" "$dir/site.zel"); target="$dir/out.zel" backup="$dir/out.bak" old="" ;;
    over-another)
        cp "$work/other" "$dir/out.zel"
        args=(--yes -o "$dir/out.zel" "$dir/site.zel"); target="$dir/out.zel" backup="$dir/out.bak" old="$work/other" ;;
    esac

    { wine "$windows_cli" "${args[@]}" >/dev/null 2>&1 & } 2>/dev/null
    runner=$!
    if ((i % 2 == 0)); then
        sleep "$(random_seconds "$span_ms")"
    else
        # Waits for the backup or a temporary file to appear (builtins only: no process per look).
        while kill -0 "$runner" 2>/dev/null && ! compgen -G "$dir/.*zelconv-*" >/dev/null && [[ ! -e $backup ]]; do :; done
        sleep "$(random_seconds 40)"
    fi
    pkill -9 -f zelconv-cli.exe 2>/dev/null || true
    wait "$runner" 2>/dev/null || true

    if [[ ! -e $target ]]; then
        state=$([[ -z $old ]] && echo old || echo MISSING)
    elif [[ -n $old ]] && cmp -s "$target" "$old"; then
        state=old
    elif cmp -s "$target" "$work/expected-$version.zel"; then
        state=1.02
    elif [[ $version == 100 ]] && "$linux_cli" --check "$target" 2>/dev/null | grep -q '1.01 形式'; then
        state=1.01
    else
        state=BROKEN
    fi
    if [[ -e $backup ]] && ! cmp -s "$backup" "$work/source-$version.zel"; then state="$state+BAD-BACKUP"; fi
    outcome[$state]=$(( ${outcome[$state]:-0} + 1 ))
    [[ $state == old || $state == 1.01 || $state == 1.02 ]] || { bad=$((bad + 1)); echo "kill $i ($path): $state" >&2; }

    # One more run, not killed: no temporary file may stay.
    wine "$windows_cli" "${args[@]}" >/dev/null 2>&1 || true
    if ls -A "$dir" | grep -q '\.zelconv-'; then
        left=$((left + 1))
        echo "kill $i ($path): left after one more run: $(ls -A "$dir" | grep '\.zelconv-' | tr '\n' ' ')" >&2
    fi
done

printf 'after %d kills:' "$kills"
for state in "${!outcome[@]}"; do printf ' %s %d,' "$state" "${outcome[$state]}"; done
printf ' targets missing or broken %d, leftovers after one more run %d\n' "$bad" "$left"
[[ $bad -eq 0 && $left -eq 0 ]]
