#!/usr/bin/env bash
# Installs what is missing, builds the window program and starts it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
scripts/setup.sh run
cmake --preset release >/dev/null
cmake --build --preset release
exec build/release/src/app/zelconv
