#!/usr/bin/env bash
# Tries the Windows installer that scripts/package-windows.sh made, under wine in a fresh prefix
# (build/package-win/wineprefix): installs it silently, finds both programs under Program Files,
# the Start-menu entry, the uninstaller's entry and the "Open with" entry but no association of
# .zel, runs the installed zelconv-cli.exe, uninstalls silently and finds nothing left. Needs no
# display.
set -euo pipefail
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$root"
version=$(zel_version) version_text=$(zel_version_text)
setup="$root/dist/zelconv-$version-win64-setup.exe"
[[ -f $setup ]] || { echo "missing $setup (scripts/package-windows.sh)" >&2; exit 1; }

rm -rf "$root/build/package-win/wineprefix"
zel_wine "$root/build/package-win/wineprefix" null
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

drive_c="$WINEPREFIX/drive_c"
folder="$drive_c/Program Files/ZelConv"
shortcut="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/カルトゥーバ　データ変換.lnk"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZelConv'
open_with_key='HKLM\Software\Classes\Applications\zelconv.exe'
fail() { echo "windows installer: $*" >&2; exit 1; }
has_key() { wine reg query "$1" >/dev/null 2>&1; }
# The NSIS uninstaller runs from a copy in the temporary folder and returns at once: wait until
# every program of the prefix has ended.
run() { wine "$@" >/dev/null 2>&1; wineserver -w; }

run "$setup" /S
for f in zelconv.exe zelconv-cli.exe README-ja.txt uninstall.exe; do
    [[ -f "$folder/$f" ]] || fail "not installed: $f"
done
[[ -f $shortcut ]] || fail "no Start-menu entry"
has_key "$uninstall_key" || fail "no uninstaller entry"
has_key "$open_with_key\\SupportedTypes" || fail "no \"Open with\" entry"
for key in 'HKLM\Software\Classes\.zel' 'HKCU\Software\Classes\.zel'; do
    ! has_key "$key" || fail "takes the association of .zel ($key)"
done
wine "$folder/zelconv-cli.exe" --version 2>&1 | grep -qF "zelconv-cli $version_text" ||
    fail "the installed zelconv-cli does not start or shows another version"
wineserver -w

run "C:\\Program Files\\ZelConv\\uninstall.exe" /S
[[ ! -e $folder ]] || fail "left behind: $(ls -A "$folder")"
[[ ! -e $shortcut ]] || fail "Start-menu entry left behind"
! has_key "$uninstall_key" || fail "uninstaller entry left behind"
! has_key "$open_with_key" || fail "\"Open with\" entry left behind"
echo "windows installer: installed, started and removed without a trace ($(basename "$setup"))"
