#!/usr/bin/env bash
# Checks the Debian package that scripts/package.sh wrote, on this machine: lintian finds no error
# in it; it installs with its dependencies; the programs start; the manual page of zelconv-cli
# renders and names every option and exit code that `zelconv-cli --help` names; the desktop entry
# and the AppStream data validate. The package is removed again at the end, also when a check
# fails. Where a zelconv package is installed already (the developer's own), it is left alone: the
# package is neither installed nor removed, its dependencies are only tried with a simulated
# install, and its programs and files are checked as the package holds them.
#   scripts/check-package.sh [dist/zelconv_<version>_amd64.deb]
set -euo pipefail
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$root"
deb="${1:-$(ls dist/zelconv_*_amd64.deb | sort -V | tail -n1)}"
[[ $deb == /* ]] || deb="$root/$deb"
expected_version="zelconv-cli $(zel_version_text)"
fail() { echo "check-package: $*" >&2; exit 1; }

set +e
findings=$(lintian --fail-on error --display-info "$deb" 2>&1)
status=$?
set -e
echo "lintian (errors fail the check; warnings and information are listed):"
grep -v "running with root privileges" <<<"$findings" | sed 's/^/  /' || echo "  nothing found"
((status == 0)) || fail "lintian reports errors"

work="$(mktemp -d)"
installed_here=""
remove() {
    if [[ -n $installed_here ]]; then zel_apt_get purge -y -qq zelconv >/dev/null 2>&1 || true; fi
    rm -rf "$work"
}
trap remove EXIT
dpkg-deb -x "$deb" "$work/unpacked"
if dpkg -s zelconv >/dev/null 2>&1; then
    echo "check-package: zelconv $(dpkg-query -W -f='${Version}' zelconv) is installed on this machine;" \
        "it is left alone: the package is not installed nor removed, but checked as unpacked"
    apt-get install -s -qq "$deb" >"$work/install.log" 2>&1 ||
        { cat "$work/install.log" >&2; fail "the package's dependencies cannot be installed"; }
    files="$work/unpacked"
else
    installed_here=yes
    zel_apt_get install -y -qq "$deb" >"$work/install.log" 2>&1 ||
        { cat "$work/install.log" >&2; fail "the package does not install"; }
    files=""
fi
cli="$files/usr/bin/zelconv-cli"

version=$("$cli" --version) || fail "the package's zelconv-cli --version failed"
echo "tried: $cli: ${version%%$'\n'*}"
[[ $version == "$expected_version"* ]] || fail "unexpected version text: $version"

# The window program: every library found, and it starts (it runs until stopped).
if ldd "$files/usr/bin/zelconv" | grep "not found"; then fail "zelconv lacks libraries"; fi
set +e
QT_QPA_PLATFORM=offscreen timeout 3 "$files/usr/bin/zelconv" >/dev/null 2>&1
status=$?
set -e
((status == 124)) || fail "zelconv ended by itself with status $status"

# As the package holds it, also where dpkg is told to leave manual pages out when it installs
# (path-exclude, as in slim container images).
page=$(MANWIDTH=100 LC_ALL=C.UTF-8 man --warnings=w -l "$work/unpacked/usr/share/man/man1/zelconv-cli.1.gz" \
    2>"$work/man-warnings.txt") || fail "man zelconv-cli failed"
! grep -v "cannot adjust line" "$work/man-warnings.txt" | grep . || fail "man zelconv-cli warns"
help=$("$cli" --help)
options=$(grep -oE -- '(^|[ [|])--?[a-z]+' <<<"$help" | tr -d ' [|' | sort -u)
[[ -n $options ]] || fail "no option found in zelconv-cli --help"
for option in $options; do
    grep -qE -- "(^|[^-a-z])$option([^a-z]|$)" <<<"$page" || fail "the manual page lacks $option"
done
for code in $(grep -oE '^ +[0-9]+ ' <<<"${help#*終了コード}" | tr -d ' '); do
    grep -qE "^ +$code +" <<<"$page" || fail "the manual page lacks exit code $code"
done
[[ -f $work/unpacked/usr/share/man/man1/zelconv.1.gz ]] || fail "no manual page for zelconv"
echo "manual pages: zelconv-cli(1) names $(tr '\n' ' ' <<<"$options")and the exit codes of --help; zelconv(1)"

desktop-file-validate "$files/usr/share/applications/zelconv.desktop"
appstreamcli validate --no-net "$files"/usr/share/metainfo/*zelconv.metainfo.xml
test -f /usr/share/qt6/translations/qtbase_ja.qm || fail "Qt's Japanese translation is not installed"
echo "package checked: $(basename "$deb")"
