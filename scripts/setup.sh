# Shared by scripts/test and scripts/run: installs what is missing and builds.
# Sourced, not run.

VARNHOLT_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# wine32:i386 runs the 32-bit builds (the release among them); it needs the i386 architecture.
# Its X11 driver loads the X extension libraries only when they are there, and without
# --install-recommends nothing brings the 32-bit ones: without libxcursor a 32-bit program's
# pointers are bitmap copies. fonts-wine brings Marlett, which draws the caption buttons.
VARNHOLT_PACKAGES=(cmake ninja-build mingw-w64 wine wine64 wine32:i386 fonts-wine
                   libxcursor1:i386 libxrandr2:i386 libxi6:i386 libxfixes3:i386 libxrender1:i386
                   libxinerama1:i386 libxcomposite1:i386
                   xvfb xauth xdotool xclip imagemagick
                   x11-xkb-utils x11-utils clang libclang-rt-14-dev googletest libbenchmark-dev python3)
# The page (web/): clang's wasm32 target with the WASI C library and libc++'s headers, and
# Chromium and Node.js for its tests (npm comes with some Node.js packages, not with Debian's).
VARNHOLT_WEB_PACKAGES=(cmake ninja-build clang lld-14 llvm-14 wasi-libc libc++-14-dev-wasm32 libclang-rt-14-dev-wasm32
                       chromium nodejs)
command -v npm >/dev/null || VARNHOLT_WEB_PACKAGES+=(npm)
VARNHOLT_PACKAGES+=("${VARNHOLT_WEB_PACKAGES[@]}")

# Installs the packages that are not there yet; a set-up machine costs one dpkg query.
install_missing_packages() {
    local missing=()
    for package in "${VARNHOLT_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "installing: ${missing[*]}"
    local sudo=
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
    fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# configure_build DIR [cmake arguments...]
configure_build() {
    local dir=$1
    shift
    [ -f "$VARNHOLT_ROOT/build/$dir/build.ninja" ] ||
        cmake -S "$VARNHOLT_ROOT" -B "$VARNHOLT_ROOT/build/$dir" -G Ninja "$@" >/dev/null
}

# The release (i686, no tests), its 64-bit twin with the tests, and the 32-bit tests, which
# need another thread model than the release is linked with.
configure_windows_builds() {
    configure_build i686 -DCMAKE_TOOLCHAIN_FILE="$VARNHOLT_ROOT/cmake/toolchain-i686-mingw.cmake" \
        -DVARNHOLT_TESTS=OFF
    configure_build x86_64 -DCMAKE_TOOLCHAIN_FILE="$VARNHOLT_ROOT/cmake/toolchain-x86_64-mingw.cmake"
    configure_build i686-tests -DCMAKE_TOOLCHAIN_FILE="$VARNHOLT_ROOT/cmake/toolchain-i686-mingw-posix.cmake"
}
