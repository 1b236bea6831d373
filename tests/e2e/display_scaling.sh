#!/usr/bin/env bash
# Varnholt at 100, 150 and 200 % display scaling (96, 144 and 192 DPI), under Wine on the test
# session's X display. For each scaling: sets the prefix's LogPixels, which a program reads when
# it starts; runs the main dialog's tests, which check at that scaling that the window and every
# control are placed by their dialog units and that every text fits its control; starts the
# program and saves a screenshot of its window to OUTPUT_DIR/varnholt-DPI.png. 96 DPI is put
# back however the run ends, since the other tests share the prefix.
# Arguments: WINE_DIR VARNHOLT_EXE MAIN_DIALOG_TEST_EXE WINDOW_PROBE_EXE OUTPUT_DIR
set -euo pipefail
wine_dir=$1 program=$2 dialog_tests=$3 probe=$4 out=$5
# shellcheck source=/dev/null
. "$wine_dir/env.sh"
mkdir -p "$out"
rm -f "$out"/*.png "$out"/*.log

PROBE=$probe OUT=$out
# shellcheck source=scripts/drive.sh
. "$(dirname "$0")/../../scripts/drive.sh"

set_dpi() {
    "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}
trap 'set_dpi 96' EXIT

for dpi in 96 144 192; do
    set_dpi "$dpi"
    log=$out/main_dialog_test-$dpi.log
    VARNHOLT_EXPECTED_DPI=$dpi "$WINE" "$dialog_tests" >"$log" 2>&1 || {
        cat "$log"
        fail "the main dialog's tests at $dpi DPI"
    }
    grep ' DPI, "' "$log" | tr -d '\r'

    start_program "$program"
    window=$(xdotool search --onlyvisible --name '^Varnholt$' | head -n 1)
    [ -n "$window" ] || fail "no X window for Varnholt at $dpi DPI"
    import -window "$window" "$out/varnholt-$dpi.png"
    echo "$dpi DPI: window $(probe window | cut -d' ' -f4-5 | tr ' ' x) pixels, screenshot $out/varnholt-$dpi.png"
    close_with_alt_f4 "at $dpi DPI"
done
echo "display scaling run passed"
