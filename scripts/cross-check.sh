#!/usr/bin/env bash
# Converts the same files with the Linux and the Windows (under wine) zelconv-cli and checks that
# both give byte-identical targets and backups; then a folder of a few hundred files of every kind,
# converted as a folder by both, in parallel, against each file converted alone. Runs after scripts/test.sh has built build/test,
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

# A folder as users keep them: a few hundred files in subfolders, old and current, capital ".ZEL",
# foreign and damaged files, a hidden one. Both programs convert the folder with two files at once;
# every file must come out as that file converted alone (-o, one run per file) would.
tree="$work/tree"
mkdir -p "$tree"
seed_list=("$seeds"/*.zel)
for i in $(seq 1 240); do
    seed=${seed_list[$((i % ${#seed_list[@]}))]}
    dir="$tree/工区$((i % 4))/$((i % 3))"
    mkdir -p "$dir"
    if ((i % 9 == 0)); then name="SITE$i.ZEL"; else name="現場$i.zel"; fi
    if ((i % 31 == 0)); then
        head -c 700 "$seed" >"$dir/$name" # cut short
    elif ((i % 37 == 0)); then
        head -c 4000 /dev/urandom >"$dir/$name" # not data
    else
        cp "$seed" "$dir/$name"
    fi
done
cp "${seed_list[0]}" "$tree/.hidden.zel"
cp -r "$tree" "$work/tree-windows"
cp -r "$tree" "$work/tree-alone"

"$linux_cli" --yes -j 2 "$tree" >"$work/linux.out" 2>&1 || true
(cd "$work" && wine "$windows_cli" --yes -j 2 tree-windows >"$work/windows.out" 2>&1) || true
files=0
while IFS= read -r -d '' f; do
    rel=${f#"$work/tree-alone/"}
    name=$(basename "$f")
    if [[ $name != .* && ${name,,} == *.zel ]]; then
        cp "$f" "$work/alone.zel"
        "$linux_cli" --yes -o "$work/alone.zel" "$work/alone.zel" >/dev/null 2>&1 || true
        cmp -s "$work/alone.zel" "$tree/$rel" || { echo "folder run differs from the file alone: $rel" >&2; exit 1; }
        # A converted file's backup (the name rule: site.zel → site.bak, SITE.ZEL → SITE.ZEL.bak)
        # holds the file as it was.
        if ! cmp -s "$f" "$tree/$rel"; then
            cmp -s "$f" "$tree/${rel%.zel}.bak" || { echo "no backup of the old file: $rel" >&2; exit 1; }
        fi
        rm -f "$work/alone.zel" "$work/alone.bak"
        files=$((files + 1))
    else
        cmp -s "$f" "$tree/$rel" || { echo "a file that is not listed was changed: $rel" >&2; exit 1; }
    fi
done < <(find "$work/tree-alone" -type f -print0)
diff -r "$tree" "$work/tree-windows" >/dev/null || { echo "the Linux and the Windows folder runs differ" >&2; exit 1; }
backups=$(find "$tree" -name '*.bak' | wc -l)
echo "cross-check: a folder of $files files converted alike by both programs, two at a time, and one by one ($backups backups)"
