#!/usr/bin/env bash
# CTest's emulator for Windows executables: runs one under Wine in the shared session.
set -euo pipefail
dir=$1
shift
# shellcheck source=/dev/null
. "$dir/env.sh"
exec "$WINE" "$@"
