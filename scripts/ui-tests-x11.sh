#!/usr/bin/env bash
# Runs the window tests once on a real X server with a window manager (Xvfb and openbox, Qt's xcb
# platform), where windows get frames and are placed by the window manager; ctest runs them on
# Qt's offscreen platform, which has neither.
#   scripts/ui-tests-x11.sh [program [arguments]]
# runs the given program on that display instead (default: build/test/tests/ui/ui_tests), for
# example a script that starts the window program and takes screenshots with `import`.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
(($#)) || set -- build/test/tests/ui/ui_tests

work="$(mktemp -d)"
xvfb="" wm=""
stop() {
    [[ -n $wm ]] && kill "$wm" 2>/dev/null && wait "$wm" 2>/dev/null
    [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap stop EXIT

# Xvfb picks a free display number and writes it to descriptor 3 once it accepts clients.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 100); do
    [[ -s $work/display ]] && break
    kill -0 "$xvfb" 2>/dev/null || { cat "$work/xvfb.log" >&2; exit 1; }
    sleep 0.1
done
[[ -s $work/display ]] || { echo "Xvfb did not start" >&2; exit 1; }
DISPLAY=":$(head -n1 "$work/display")"
export DISPLAY

openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm=$!
# The window manager is running once it has announced itself on the root window.
managed() { [[ $(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null) == *"window id"* ]]; }
for _ in $(seq 100); do
    managed && break
    sleep 0.1
done
managed || { cat "$work/openbox.log" >&2; echo "openbox did not start" >&2; exit 1; }

# On X, Qt talks to D-Bus, whose library keeps a buffer that LeakSanitizer reports at exit.
printf 'leak:libdbus-1.so\n' >"$work/lsan.supp"
export LSAN_OPTIONS="suppressions=$work/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
QT_QPA_PLATFORM=xcb "$@"
