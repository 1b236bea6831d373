#!/usr/bin/env bash
# Builds the page, build/web/varnholt.html (the engine compiled to wasm32 and everything
# inlined), and installs playwright-core beside it for the browser tests.
set -euo pipefail
# shellcheck source=scripts/setup.sh
. "$(dirname "$0")/../scripts/setup.sh"
VARNHOLT_PACKAGES=("${VARNHOLT_WEB_PACKAGES[@]}")
install_missing_packages
build=$VARNHOLT_ROOT/build/web
[ -f "$build/build.ninja" ] ||
    cmake -S "$VARNHOLT_ROOT/web" -B "$build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$VARNHOLT_ROOT/web/wasm32-toolchain.cmake" >/dev/null
cmake --build "$build" -j 2
