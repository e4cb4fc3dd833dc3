#!/usr/bin/env bash
# Converts the same files with the Linux and the Windows (under wine) zelconv-cli and checks that
# both give byte-identical targets and backups. Runs after scripts/test.sh has built build/test,
# build-win and the fuzz seeds (small valid files of each format in build-fuzz/seeds).
set -euo pipefail
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
linux_cli="$root/build/test/src/cli/zelconv-cli"
windows_cli="$root/build-win/src/cli/zelconv-cli.exe"
seeds="$root/build-fuzz/seeds"
for f in "$linux_cli" "$windows_cli"; do [[ -x $f || -f $f ]] || { echo "missing $f" >&2; exit 1; }; done

work=$(mktemp -d)
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
zel_wine "$root/build-win/wineprefix" null
wineserver -p

mkdir -p "$work/linux" "$work/windows"
for f in "$seeds"/*-100.zel "$seeds"/*-101.zel; do
    cp "$f" "$work/linux/" && cp "$f" "$work/windows/"
done
# The same names in both folders, converted in place; some fail on purpose (steps, cycles).
(cd "$work/linux" && "$linux_cli" --yes ./*.zel >/dev/null 2>&1) || true
(cd "$work/windows" && wine "$windows_cli" --yes ./*.zel >/dev/null 2>&1) || true

count=0
for f in "$work/linux"/*; do
    name=$(basename "$f")
    cmp -s "$f" "$work/windows/$name" || { echo "differs: $name" >&2; exit 1; }
    count=$((count + 1))
done
[[ $(ls "$work/windows" | wc -l) -eq $count ]] || { echo "the two runs made different files" >&2; exit 1; }
converted=$(ls "$work/linux"/*.bak | wc -l)
echo "cross-check: $count files identical between the Linux and the Windows zelconv-cli ($converted converted with a backup)"
