#!/usr/bin/env bash
# Renders the convert button's face (src/ui/pictures/convert-face.svg) with the Qt window's own
# drawing into the bitmaps of the Win32 window, src/ui/win32/pictures/convert-face-{96,192}.bmp.
# Run it after changing the SVG and commit the bitmaps with it; the window tests fail while they
# differ from the drawing. Builds the tool in build/release (needs Qt 6, as scripts/run.sh).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
cmake --preset release >/dev/null
cmake --build --preset release --target zelconv-render-pictures
QT_QPA_PLATFORM=offscreen build/release/src/ui/qt/zelconv-render-pictures src/ui/win32/pictures
ls -l src/ui/win32/pictures/convert-face-*.bmp
