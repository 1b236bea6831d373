#!/usr/bin/env bash
# The page's figures (not tests): size, opening to a usable form, and campaign mode on 100,000
# sets against varnholt-cli in the same run. Usage: web/benchmark.sh [VARNHOLT_CLI]
# (default build/native/varnholt-cli, the optimised build).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/web/build.sh" >/dev/null
work=$root/build/web/benchmark
mkdir -p "$work"
node "$root/web/benchmark.js" "${1:-$root/build/native/varnholt-cli}" "$work"
