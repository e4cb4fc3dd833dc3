# What the scripts share; sourced, never run:
#   source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
# Sets `root`, the repository's top folder, and defines the functions below.
# shellcheck shell=bash

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# The version of project() in CMakeLists.txt, the one place where it is written: 1.0.37.
zel_version() {
    local version
    version=$(sed -n 's/^project(ZelConv VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
    [[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "no version in $root/CMakeLists.txt" >&2; return 1; }
    echo "$version"
}

# The same version as the programs show it, 1.00.0037: the minor version with two digits and the
# build with four (cmake/ProgramVersion.cmake writes it so for the programs).
zel_version_text() {
    local version major minor build
    version=$(zel_version) || return
    IFS=. read -r major minor build <<<"$version"
    printf '%d.%02d.%04d\n' "$major" "$minor" "$build"
}

# The generator option for configuring the build folder $1, one word a line: Ninja when it is
# installed; nothing for a folder configured before, which keeps the generator it has.
#   mapfile -t generator < <(zel_generator "$build")
zel_generator() {
    if [[ ! -f $1/CMakeCache.txt ]] && command -v ninja >/dev/null 2>&1; then printf '%s\n' -G Ninja; fi
}

# Runs a command as root: directly where the script runs as root, else through sudo.
zel_as_root() {
    if [[ $(id -u) -eq 0 ]]; then "$@"; else sudo "$@"; fi
}

# apt-get as root without questions (sudo drops the caller's environment, so it is set after it).
zel_apt_get() {
    zel_as_root env DEBIAN_FRONTEND=noninteractive apt-get "$@"
}

# Sets up wine for the Windows programs in the private prefix $1 and prepares the prefix
# (scripts/wine-prefix.sh): with the driver $2, "null" (the default: no display, as the tests run)
# or "x11" (draws on $DISPLAY), and the locale $3 (default C.UTF-8).
zel_wine() {
    local driver=${2:-null}
    export WINEPREFIX="$1" WINEARCH=win64 WINEDEBUG=-all
    # wine turns Windows file names into Unix names in the locale's character set: Japanese names
    # need a UTF-8 locale (C.UTF-8 is always there).
    export LC_ALL="${3:-C.UTF-8}"
    # No Mono or Gecko installers, no dialogs, no menu entries on the machine.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    if [[ $driver == null ]]; then export DISPLAY='' WAYLAND_DISPLAY=''; fi
    mkdir -p "$WINEPREFIX"
    "$root/scripts/wine-prefix.sh" "$driver"
}
