#!/usr/bin/env bash
# Brings up (start) or tears down (stop) the Wine session that the Windows tests share:
# one Xvfb display and one persistent wineserver on a prefix inside the build tree.
# Writes DIR/env.sh for run.sh and the end-to-end scripts; stops only what it started.
# Usage: session.sh start DIR [DESKTOP_USER_EXE] | session.sh stop DIR
# DESKTOP_USER_EXE (tests/support/desktop_user.cpp) keeps the desktop open between programs.
set -euo pipefail
action=$1
dir=$2
desktop_user=${3:-}
mkdir -p "$dir"
env_file=$dir/env.sh

# A prefix made while this machine could not execute 32-bit programs lacks its 32-bit half
# (syswow64): it is made again once the 32-bit loader runs.
prefix_complete() {
    [ -e "$WINEPREFIX/system.reg" ] || return 1
    [ -e "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ] || ! /usr/lib/wine/wine --version >/dev/null 2>&1
}

start() {
    # A session left behind by an interrupted run in this folder is ended first.
    [ -e "$env_file" ] && stop >/dev/null
    local display=
    for n in $(seq 90 140); do
        if [ ! -e /tmp/.X$n-lock ] && [ ! -e /tmp/.X11-unix/X$n ]; then display=$n; break; fi
    done
    [ -n "$display" ] || { echo "no free X display" >&2; exit 1; }
    # Every daemon gets its own descriptors: CTest waits until the test's output pipe closes.
    Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp </dev/null >"$dir/xvfb.log" 2>&1 &
    local xvfb_pid=$!
    for _ in $(seq 100); do [ -e /tmp/.X11-unix/X$display ] && break; sleep 0.1; done
    cat >"$env_file" <<ENV
export DISPLAY=:$display
export XVFB_PID=$xvfb_pid
export WINEPREFIX=$dir/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINE=/usr/lib/wine/wine64
ENV
    # shellcheck source=/dev/null
    . "$env_file"
    if ! prefix_complete; then
        rm -rf "$WINEPREFIX"
        "$WINE" wineboot -i </dev/null >/dev/null 2>&1
        /usr/lib/wine/wineserver -w
        # Without a window manager Wine waits about 1.5 s whenever a window hides; unmanaged
        # windows drawn by Wine itself avoid that. A crash must fail the test, not open a dialog.
        "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
        "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
        /usr/lib/wine/wineserver -w
    fi
    # Debian's Wine does not load its own fonts from /usr/share/wine/fonts: without Marlett in
    # the prefix the caption buttons it draws read "0 1 r". Only Marlett, so that the dialogs'
    # text keeps the font the tests measured it in.
    [ ! -e /usr/share/wine/fonts/marlett.ttf ] || cp -u /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    /usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1
    # Display scaling is 100 % unless a test changes it; a test killed at 150 % leaves it so.
    "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f </dev/null >/dev/null 2>&1
    # The first program of a session starts Wine's own services, which live on with the
    # server; started here, they do not hold a test's output open.
    "$WINE" cmd /c exit </dev/null >/dev/null 2>&1
    if [ -n "$desktop_user" ]; then
        # The log of the session before goes first: the program's redirection empties it only
        # once it runs, and the wait below could read the old line before that.
        rm -f "$dir/desktop_user.log"
        "$WINE" "$desktop_user" </dev/null >"$dir/desktop_user.log" 2>&1 &
        for _ in $(seq 100); do grep -q 'desktop in use' "$dir/desktop_user.log" && break; sleep 0.1; done
        grep -q 'desktop in use' "$dir/desktop_user.log" || { echo "the desktop did not open" >&2; exit 1; }
    fi
    echo "wine session up on :$display (Xvfb pid $xvfb_pid)"
}

stop() {
    [ -e "$env_file" ] || exit 0
    # shellcheck source=/dev/null
    . "$env_file"
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    kill "$XVFB_PID" 2>/dev/null || true
    rm -f "$env_file"
    echo "wine session down"
}

"$action"
