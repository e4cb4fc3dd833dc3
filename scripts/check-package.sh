#!/usr/bin/env bash
# Checks the Debian package that scripts/package.sh wrote, on this machine: lintian finds no error
# in it; it installs with its dependencies; the installed programs start; the manual page of
# zelconv-cli renders and names every option and exit code that `zelconv-cli --help` names; the
# desktop entry and the AppStream data validate. The package is removed again at the end, also
# when a check fails (so a zelconv installed before is gone afterwards too).
#   scripts/check-package.sh [dist/zelconv_<version>_amd64.deb]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
deb="${1:-$(ls dist/zelconv_*_amd64.deb | sort -V | tail -n1)}"
[[ $deb == /* ]] || deb="$root/$deb"
sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
fail() { echo "check-package: $*" >&2; exit 1; }

set +e
findings=$(lintian --fail-on error --display-info "$deb" 2>&1)
status=$?
set -e
echo "lintian (errors fail the check; warnings and information are listed):"
grep -v "running with root privileges" <<<"$findings" | sed 's/^/  /' || echo "  nothing found"
((status == 0)) || fail "lintian reports errors"

work="$(mktemp -d)"
remove() {
    DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq zelconv >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap remove EXIT
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$deb" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log" >&2; fail "the package does not install"; }

version=$(zelconv-cli --version) || fail "the installed zelconv-cli --version failed"
echo "installed: $(command -v zelconv-cli): ${version%%$'\n'*}"
[[ $version == "zelconv-cli "* ]] || fail "unexpected version text: $version"

# The window program: every library found, and it starts (it runs until stopped).
if ldd /usr/bin/zelconv | grep "not found"; then fail "zelconv lacks libraries"; fi
set +e
QT_QPA_PLATFORM=offscreen timeout 3 zelconv >/dev/null 2>&1
status=$?
set -e
((status == 124)) || fail "zelconv ended by itself with status $status"

# Rendered as installed; where dpkg is told to leave manual pages out (path-exclude, as in slim
# container images), as the package holds it.
manpage=zelconv-cli
if [[ ! -f /usr/share/man/man1/zelconv-cli.1.gz ]]; then
    dpkg-deb -x "$deb" "$work/unpacked"
    manpage=(-l "$work/unpacked/usr/share/man/man1/zelconv-cli.1.gz")
fi
page=$(MANWIDTH=100 LC_ALL=C.UTF-8 man --warnings=w "${manpage[@]}" 2>"$work/man-warnings.txt") ||
    fail "man zelconv-cli failed"
! grep -v "cannot adjust line" "$work/man-warnings.txt" | grep . || fail "man zelconv-cli warns"
help=$(zelconv-cli --help)
options=$(grep -oE -- '(^|[ [|])--?[a-z]+' <<<"$help" | tr -d ' [|' | sort -u)
[[ -n $options ]] || fail "no option found in zelconv-cli --help"
for option in $options; do
    grep -qE -- "(^|[^-a-z])$option([^a-z]|$)" <<<"$page" || fail "the manual page lacks $option"
done
for code in $(grep -oE '^ +[0-9]+ ' <<<"${help#*終了コード}" | tr -d ' '); do
    grep -qE "^ +$code +" <<<"$page" || fail "the manual page lacks exit code $code"
done
contents=$(dpkg-deb -c "$deb")
grep -q "man1/zelconv.1.gz" <<<"$contents" || fail "no manual page for zelconv"
echo "manual pages: zelconv-cli(1) names $(tr '\n' ' ' <<<"$options")and the exit codes of --help; zelconv(1)"

desktop-file-validate /usr/share/applications/zelconv.desktop
appstreamcli validate --no-net /usr/share/metainfo/*zelconv.metainfo.xml
test -f /usr/share/qt6/translations/qtbase_ja.qm || fail "Qt's Japanese translation is not installed"
echo "package checked: $(basename "$deb")"
