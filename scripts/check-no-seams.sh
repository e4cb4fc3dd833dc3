#!/usr/bin/env bash
# Installs a build into a scratch folder and fails when one of its programs holds a fault seam of
# the tests, or when the check cannot see the programs' symbols at all.
#   scripts/check-no-seams.sh BUILD_FOLDER
set -euo pipefail
build="$1"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
cmake --install "$build" --prefix "$scratch" >/dev/null
mapfile -t programs < <(find "$scratch/bin" -type f -perm -u+x)
((${#programs[@]} >= 2)) || { echo "check-no-seams: no programs installed from $build" >&2; exit 1; }
for program in "${programs[@]}"; do
    symbols="$(nm -C "$program")"
    if ! grep -q "zel::platform::ReplaceFileContents" <<<"$symbols"; then
        echo "check-no-seams: no symbols to check in ${program#"$scratch"/}" >&2
        exit 1
    fi
    if seams="$(grep -E "zel::platform::(Inject|detail::(TakeReadFault|PlanWrite|TakeFlushFault))" <<<"$symbols")"; then
        echo "check-no-seams: ${program#"$scratch"/} holds test seams:" >&2
        echo "$seams" >&2
        exit 1
    fi
    echo "${program#"$scratch"/}: no test seams"
done
