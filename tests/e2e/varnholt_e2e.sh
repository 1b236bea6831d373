#!/usr/bin/env bash
# Uses varnholt.exe as a person would, under Wine on the test session's X display: types the
# keywords with real keystrokes, clicks the option buttons, the check box, the paste button and
# the link with the real pointer, reads the message boxes and the clipboard, closes the window
# with Alt+F4 and with the close button, and checks the exit codes.
# Arguments: WINE_DIR VARNHOLT_EXE WINDOW_PROBE_EXE FAKE_BROWSER_EXE OUTPUT_DIR
set -euo pipefail
wine_dir=$1 program=$2 probe=$3 fake_browser=$4 out=$5
# shellcheck source=/dev/null
. "$wine_dir/env.sh"
mkdir -p "$out"
rm -f "$out"/*.png "$out"/*.bin "$out"/browser.record

PROBE=$probe OUT=$out
# shellcheck source=scripts/drive.sh
. "$(dirname "$0")/../../scripts/drive.sh"

# The user's chosen browser is the fake one, which records how it was started. The htmlfile
# command stays Wine's own, which would start another program.
# As every Wine start, reg may now and then end at once: it is tried again, and a failure says so.
register() { "$WINE" reg add "$@" >/dev/null 2>&1; }
wait_for "the test browser's registration" register 'HKCR\VarnholtE2EBrowser\shell\open\command' /ve /f \
    /d "\"$(windows_path "$fake_browser")\" --single-argument %1"
wait_for "the test browser as the user's choice" \
    register 'HKCU\Software\Microsoft\Windows\Shell\Associations\UrlAssociations\http\UserChoice' \
    /v ProgId /f /d VarnholtE2EBrowser
record=$out/browser.record
export VARNHOLT_FAKE_BROWSER_RECORD
VARNHOLT_FAKE_BROWSER_RECORD=$(windows_path "$record")

start_program "$program"
import -window root "$out/started.png"
[ "$(control_checked 1010)" = 1 ] && [ "$(control_checked 1011)" = 0 ] && [ "$(control_checked 1013)" = 0 ] ||
    fail "initial option states"

# Nothing typed yet: the paste button asks for keyword 1 and leaves the clipboard alone.
# xclip stays behind to serve the selection: it must not hold the test's output open.
printf 'untouched' | xclip -selection clipboard -i >/dev/null 2>&1
click_control 1009
expect_box "Need to enter Keyword 1.  Try again." icon
[ "$(xclip -o -selection clipboard)" = untouched ] || fail "a rejected press changed the clipboard"

type_keyword 1001 blue
click_control 1009
expect_box "Need at least two keywords. Enter Keyword 2." icon

type_keyword 1004 running
type_keyword 1006 shoes
# Escape and Enter in an edit box are ignored: no box, the window stays, and the box keeps the
# focus (the next key still types into it).
xdotool key Escape Return
xdotool type x
[ "$(control_text 1006)" = shoesx ] || fail "keyword 3 reads '$(control_text 1006)' after Escape, Enter and x"
xdotool key BackSpace
no_box_open || fail "Escape or Enter in an edit box did something: $(probe boxes)"
window_visible || fail "Escape or Enter closed the window"

click_control 1011
click_control 1013
[ "$(control_checked 1010)" = 0 ] && [ "$(control_checked 1011)" = 1 ] && [ "$(control_checked 1013)" = 1 ] ||
    fail "option states after the clicks"
click_control 1009
wait_for "the confirmation" box_open
import -window root "$out/confirmation.png"
expect_box "The text is in the clipboard (ready for pasting)." none

# Another program (Wine's own, taking the X selection) may hold the clipboard open a moment.
wait_for "the clipboard to open" probe clipboard "$(windows_path "$out/clipboard.bin")"
# The worked example's lines from the golden cases, joined by CR LF, and CF_TEXT's NUL.
golden=$(dirname "$0")/../golden/keyword_sets.tsv
printf '%s\0' "$(awk -F'\t' '$1 == "example" { for (i = 6; i <= NF; ++i) printf "%s%s", $i, (i < NF ? "\r\n" : "") }' "$golden")" \
    >"$out/expected.bin"
cmp "$out/clipboard.bin" "$out/expected.bin" || fail "clipboard CF_TEXT bytes differ from the expected text"

# From the keyboard: Shift+Tab goes from the option buttons back to the paste button, and
# Space presses it.
click_into 1010
xdotool key shift+Tab space
expect_box "The text is in the clipboard (ready for pasting)." none
[ "$(xclip -o -selection clipboard | head -n 1)" = '"blue running shoes"' ] || fail "quotes not used"

# The link opens the site in the registered browser.
click_control 1012
wait_for "the browser to start" test -s "$record"
[ "$(tr '\0' '\n' <"$record" | grep -cx 'arg=http://example.com/')" -eq 1 ] &&
    tr '\0' '\n' <"$record" | grep -qx 'arg=--single-argument' ||
    fail "the browser was not given the address as one argument: $(tr '\0' ' ' <"$record")"
no_box_open || fail "a box after the link click"

close_with_alt_f4

# Arguments change nothing: the same window, in the same state, and the close button ends it.
start_program "$program" /brackets --subsets keyword
[ "$(control_checked 1010)" = 1 ] && [ "$(control_checked 1013)" = 0 ] || fail "arguments changed the options"
click_at $(probe close-button)
expect_exit_zero "the close button"
echo "end-to-end run passed"
