# Drives a running Varnholt under Wine as a person would: the real pointer and keyboard on the
# X display, and window_probe.exe to read windows and the clipboard. Sourced, not run.
# Needs: the Wine session's env.sh sourced, PROBE (window_probe.exe), OUT (a folder for logs).

fail() {
    echo "FAIL: $*" >&2
    import -window root "$OUT/failure.png" 2>/dev/null || true
    [ -n "${program_pid:-}" ] && kill "$program_pid" 2>/dev/null
    exit 1
}
probe() { "$WINE" "$PROBE" "$@" 2>/dev/null | tr -d '\r'; }

# wait_for DESCRIPTION COMMAND...: retries the command for up to ten seconds.
wait_for() {
    local what=$1
    shift
    for _ in $(seq 100); do "$@" && return 0; sleep 0.1; done
    fail "timed out waiting for $what"
}
window_visible() { [ "$(probe window | cut -d' ' -f1)" = 1 ]; }
control_point() { probe controls | awk -v id="$1" '$1 == id { print $2, $3 }'; }
control_checked() { probe controls | awk -v id="$1" '$1 == id { print $4 }'; }
control_text() { probe controls | awk -v id="$1" '$1 == id' | cut -d' ' -f5-; }
click_at() { xdotool mousemove --sync "$1" "$2" click 1; }
click_control() { click_at $(control_point "$1"); }
# Keys typed right after a click can reach the server before Varnholt has handled the click and
# become the foreground window, and then go elsewhere: wait for the focus before typing.
has_focus() { [ "$(probe focus)" != none ]; }
control_has_focus() { [ "$(probe focus)" = "$1" ]; }
# click_into CONTROL_ID: clicks the control and waits until it has the keyboard focus.
click_into() {
    click_control "$1"
    wait_for "control $1 to have the keyboard focus" control_has_focus "$1"
}
# close_with_alt_f4 [WHEN]: closes Varnholt with Alt+F4 and expects exit code 0. Alt+F4 goes
# to the window with the keyboard focus, so a click on a label gives it back to Varnholt first.
# On a loaded machine that click can come before the window is ready to take the foreground
# back from a program that just ended, and then it is lost: it is repeated until it takes.
close_with_alt_f4() {
    for _ in $(seq 5); do
        click_control 1002
        for _ in $(seq 20); do has_focus && break 2; sleep 0.1; done
    done
    wait_for "Varnholt to have the keyboard focus" has_focus
    xdotool key alt+F4
    expect_exit_zero "Alt+F4${1:+ $1}"
}
box_line() { probe boxes | head -n 1; }
box_open() { [ -n "$(box_line)" ]; }
no_box_open() { [ -z "$(box_line)" ]; }
windows_path() { "$WINE" winepath -w "$1" 2>/dev/null | tr -d '\r'; }

# start_program EXE [ARGUMENTS...]: starts it in the background (program_pid) and waits for
# its window.
start_program() {
    "$WINE" "$@" >"$OUT/program.log" 2>&1 &
    program_pid=$!
    wait_for "the main window" window_visible
}

# type_keyword CONTROL_ID TEXT: clicks into the edit box and types the text.
type_keyword() {
    click_into "$1"
    xdotool type --delay 40 "$2"
}

# expect_box TEXT ICON: the one open message box says TEXT under the title Varnholt, with or
# without an icon ("icon" or "none"); its OK button closes it.
expect_box() {
    wait_for "message box \"$1\"" box_open
    [ "$(probe boxes | wc -l)" -eq 1 ] || fail "more than one message box: $(probe boxes)"
    local title text icon ok
    IFS='|' read -r title text icon ok <<<"$(box_line)"
    [ "$title" = Varnholt ] || fail "box title '$title'"
    [ "$text" = "$1" ] || fail "box text '$text', expected '$1'"
    [ "$icon" = "$2" ] || fail "box icon '$icon', expected '$2'"
    click_at $ok
    wait_for "the box to close" no_box_open
}

# expect_exit_zero HOW: the program ends, with exit code 0, after being closed by HOW.
expect_exit_zero() {
    local status=0
    for _ in $(seq 100); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$program_pid" 2>/dev/null; then
        fail "still running after $1 (focus: $(probe focus), boxes: $(probe boxes))"
    fi
    wait "$program_pid" || status=$?
    [ "$status" -eq 0 ] || fail "exit code $status after $1"
}
