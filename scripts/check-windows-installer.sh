#!/usr/bin/env bash
# Tries the Windows installer that scripts/package-windows.sh made, under wine in a fresh prefix
# (build/package-win/wineprefix): installs it silently, finds both programs under Program Files,
# the Start-menu entry, the installing user's Send-to entry, the uninstaller's entry and the
# "Open with" entry, which takes several files at once, but no association of .zel, runs the
# installed zelconv-cli.exe, uninstalls silently and finds nothing left. Needs no display.
# Environment: PACKAGE_WIN_BUILD and DIST as for scripts/package-windows.sh.
set -euo pipefail
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$root"
version=$(zel_version) version_text=$(zel_version_text)
package_build="${PACKAGE_WIN_BUILD:-$root/build/package-win}"
setup="${DIST:-$root/dist}/zelconv-$version-win64-setup.exe"
[[ -f $setup ]] || { echo "missing $setup (scripts/package-windows.sh)" >&2; exit 1; }

rm -rf "$package_build/wineprefix"
zel_wine "$package_build/wineprefix" null
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

drive_c="$WINEPREFIX/drive_c"
folder="$drive_c/Program Files/ZelConv"
shortcut="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/カルトゥーバ　データ変換.lnk"
# The user's Send-to folder, wherever wine keeps the profile of the user it runs as.
send_to() { find "$drive_c/users" -path '*/SendTo/カルトゥーバ データ変換.lnk' 2>/dev/null; }
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
[[ -n $(send_to) ]] || fail "no Send-to entry"
has_key "$uninstall_key" || fail "no uninstaller entry"
has_key "$open_with_key\\SupportedTypes" || fail "no \"Open with\" entry"
[[ $(wine reg query "$open_with_key\\shell\\open" /v MultiSelectModel 2>/dev/null) == *Player* ]] ||
    fail "\"Open with\" starts a program for each selected file"
for key in 'HKLM\Software\Classes\.zel' 'HKCU\Software\Classes\.zel'; do
    ! has_key "$key" || fail "takes the association of .zel ($key)"
done
wine "$folder/zelconv-cli.exe" --version 2>&1 | grep -qF "zelconv-cli $version_text" ||
    fail "the installed zelconv-cli does not start or shows another version"
wineserver -w

run "C:\\Program Files\\ZelConv\\uninstall.exe" /S
[[ ! -e $folder ]] || fail "left behind: $(ls -A "$folder")"
[[ ! -e $shortcut ]] || fail "Start-menu entry left behind"
[[ -z $(send_to) ]] || fail "Send-to entry left behind"
! has_key "$uninstall_key" || fail "uninstaller entry left behind"
! has_key "$open_with_key" || fail "\"Open with\" entry left behind"
echo "windows installer: installed, started and removed without a trace ($(basename "$setup"))"
