#!/usr/bin/env bash
# Uses the Windows window program as a person would, under wine on a private X server with a
# window manager (scripts/ui-tests-x11.sh): types a source and a target name, presses データ変換,
# answers はい and OK, opens and closes the version window and closes the program. Then starts it
# with a folder, as when the folder is dropped on its icon: the batch window lists the folder,
# 変換開始 and はい convert it, Esc closes it and ends the program. Screenshots of each step go to
# build-win/look/; each converted file must equal what zelconv-cli.exe makes of the same source.
# Wine runs with a Japanese locale, as the users' Windows does.
#
#   scripts/windows-look.sh [--docs]    --docs also copies the first screenshot to
#                                       docs/screenshot-windows.png and the batch window after its
#                                       run to docs/batch-win32.png, and after 元に戻す to
#                                       docs/batch-win32-undone.png
#
# Needs the Windows build (scripts/windows-tests.sh; BUILD_WIN names another build folder than
# build-win), the sample files of build-fuzz/seeds (made by scripts/fuzz.sh), xdotool and
# ImageMagick's import.
set -euo pipefail
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
if [[ -z "${DISPLAY:-}" ]]; then exec "$root/scripts/ui-tests-x11.sh" "$0" "$@"; fi
cd "$root"

build="${BUILD_WIN:-$root/build-win}"
exe="$build/src/app/zelconv.exe"
cli="$build/src/cli/zelconv-cli.exe"
seeds="$root/build-fuzz/seeds"
sample="$seeds/two-anchors-101.zel"
look="$build/look"
for f in "$exe" "$cli" "$sample"; do [[ -f $f ]] || { echo "missing $f" >&2; exit 1; }; done
rm -rf "$look" && mkdir -p "$look"

# A Japanese locale for wine (message-box buttons はい and いいえ, Japanese system fonts), compiled
# into the build folder, since the machine may have none installed.
export LOCPATH="$build/locale"
[[ -d $LOCPATH/ja_JP.UTF-8 ]] || { mkdir -p "$LOCPATH" && localedef -i ja_JP -f UTF-8 "$LOCPATH/ja_JP.UTF-8"; }
zel_wine "$build/wineprefix-x11" x11 ja_JP.UTF-8
wineserver -p
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

# The user's file, in a folder of drive C:.
data="$WINEPREFIX/drive_c/data"
rm -rf "$data" && mkdir -p "$data"
cp "$sample" "$data/site.zel"
cp "$sample" "$look/expected.zel"
(cd "$look" && wine "$cli" --yes expected.zel >/dev/null 2>&1)

# Waits until a window titled exactly $1 is shown; prints its X id.
wait_window() {
    local id=""
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -n1) && [[ -n $id ]] && { echo "$id"; return; }
        sleep 0.1
    done
    echo "no window \"$1\" appeared" >&2
    return 1
}
count_windows() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | wc -l; }

title="カルトゥーバ　データ変換"
wine "$exe" >"$look/zelconv.log" 2>&1 &
program=$!
main=$(wait_window "$title")
sleep 1
# The client area's place on the screen, and the frame the window manager drew around it.
eval "$(xwininfo -id "$main" | awk '/Absolute upper-left X/ {print "cx=" $4} /Absolute upper-left Y/ {print "cy=" $4}')"
read -r fl fr ft fb < <(xprop -id "$main" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
frame="$((497 + fl + fr))x$((246 + ft + fb))+$((cx - fl))+$((cy - ft))"
shot() { sleep 0.7; import -window root -crop "$frame" +repage "$look/$1.png"; }
ended() {
    for _ in $(seq 50); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
    ! kill -0 "$program" 2>/dev/null || { echo "the program did not end when its window closed" >&2; exit 1; }
}
click() { xdotool mousemove $((cx + $1)) $((cy + $2)) click 1; sleep 0.3; }

click 200 44                       # the source field
xdotool type --delay 20 'C:\data\site.zel'
click 200 118                      # the target field: the name rule adds .zel
xdotool type --delay 20 'C:\data\site'
shot 1-names
click 321 226                      # データ変換
[[ $(count_windows "$title") -ge 2 ]] || sleep 1
shot 2-question
xdotool key Return                 # はい, the default
sleep 1
shot 3-converted
xdotool key Return                 # OK
sleep 0.5
click 65 226                       # バージョン情報
wait_window "${title}のバージョン情報" >/dev/null
shot 4-version
xdotool key Escape
sleep 0.5
click 435 226                      # 終了
ended

cmp "$data/site.bak" "$sample" || { echo "the backup is not the source" >&2; exit 1; }
cmp "$data/site.zel" "$look/expected.zel" || { echo "the window converted differently from zelconv-cli" >&2; exit 1; }

# A folder of old, current and foreign files, one with a capital extension, one in a subfolder.
batch="$data/現場データ"
mkdir -p "$batch/2019年" "$look/expected"
cp "$seeds/two-anchors-101.zel" "$batch/A工区.zel"
cp "$seeds/bare-100.zel" "$batch/B工区.ZEL"
cp "$seeds/no-anchors-102.zel" "$batch/C工区.zel"
printf 'not data' >"$batch/メモ.zel"
cp "$seeds/no-anchors-101.zel" "$batch/2019年/D工区.zel"
cp "$seeds/bare-101.zel" "$batch/2019年/E工区.zel"
cp -r "$batch/." "$look/expected/"
mkdir -p "$look/original" && cp -r "$batch/." "$look/original/"
(cd "$look/expected" && wine "$cli" --yes ./*.zel ./*.ZEL 2019年/*.zel >/dev/null 2>&1 || true)

batch_title="カルトゥーバ　データ一括変換"
wine "$exe" 'C:\data\現場データ' >"$look/zelconv-batch.log" 2>&1 &
program=$!
main=$(wait_window "$batch_title")
sleep 1
eval "$(xwininfo -id "$main" | awk '/Absolute upper-left X/ {print "cx=" $4} /Absolute upper-left Y/ {print "cy=" $4}')"
read -r fl fr ft fb < <(xprop -id "$main" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
frame="$((640 + fl + fr))x$((400 + ft + fb))+$((cx - fl))+$((cy - ft))"
shot 5-batch-listed
click 61 377                       # 変換開始
[[ $(count_windows "$batch_title") -ge 2 ]] || sleep 1
shot 6-batch-question
xdotool key Return                 # はい, the default
sleep 3
shot 7-batch-converted
for f in A工区.zel B工区.ZEL C工区.zel メモ.zel 2019年/D工区.zel 2019年/E工区.zel; do
    cmp "$batch/$f" "$look/expected/$f" || { echo "the batch converted $f differently from zelconv-cli" >&2; exit 1; }
done
click 174 377                      # 元に戻す
[[ $(count_windows "$batch_title") -ge 2 ]] || sleep 1
shot 8-batch-undo-question
xdotool key Return                 # はい, the default
sleep 3
shot 9-batch-undone
xdotool key Escape                 # 閉じる
ended

# 元に戻す gave back every original byte for byte and left no backup.
diff -r "$batch" "$look/original" >/dev/null || { echo "元に戻す did not give back the original files" >&2; exit 1; }
echo "windows-look: converted as a user would; screenshots in $look"
if [[ ${1:-} == --docs ]]; then
    cp "$look/1-names.png" "$root/docs/screenshot-windows.png"
    cp "$look/7-batch-converted.png" "$root/docs/batch-win32.png"
    cp "$look/9-batch-undone.png" "$root/docs/batch-win32-undone.png"
    echo "docs/screenshot-windows.png and docs/batch-win32.png updated"
fi
