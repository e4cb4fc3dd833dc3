#!/usr/bin/env bash
# Prepares the wine prefix $WINEPREFIX for the Windows programs, once: creates it, and replaces the
# font the windows ask for, "ＭＳ Ｐゴシック" (and the Japanese system fonts wine's message boxes ask
# for), by IPA P Gothic (fonts-ipafont-gothic), so that no Japanese text is drawn as boxes.
#
#   scripts/wine-prefix.sh null   also draws every window with wine's null graphics driver, for
#                                 tests without a display
#   scripts/wine-prefix.sh x11    draws on $DISPLAY (screenshots, trying the program)
#
# Needs WINEPREFIX (and the other wine variables) set by the caller: zel_wine in scripts/lib.sh
# sets them and runs this script. The first time, it stops the prefix's wine server at the end:
# start a persistent one (wineserver -p) after it, not before.
set -euo pipefail
driver="${1:?usage: $0 null|x11}"
[[ -n "${WINEPREFIX:-}" ]] || { echo "WINEPREFIX is not set" >&2; exit 2; }
marker="$WINEPREFIX/zelconv-prefix-$driver"
[[ -f "$marker" ]] && exit 0

mkdir -p "$WINEPREFIX"
wine wineboot --init >/dev/null 2>&1 || true
settings="$(mktemp --suffix=.reg)"
trap 'rm -f "$settings"' EXIT
{
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    for font in "ＭＳ Ｐゴシック" "ＭＳ ゴシック" "MS PGothic" "MS Gothic" "MS UI Gothic" "Meiryo UI" "Yu Gothic UI"; do
        printf '"%s"="IPAPGothic"\r\n' "$font"
    done
    printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Drivers]\r\n'
    if [[ $driver == null ]]; then
        printf '"Graphics"="null"\r\n'
    else
        printf '"Graphics"=-\r\n'
    fi
} | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$settings"
wine regedit /S "$(winepath -w "$settings")" >/dev/null 2>&1
# Wine's desktop, made with the prefix, keeps the graphics driver it found then: stop the wine
# server, so that the next program starts everything again with the driver chosen here.
wineserver -k >/dev/null 2>&1 || true
rm -f "$WINEPREFIX"/zelconv-prefix-*
touch "$marker"
