#!/usr/bin/env bash
# The 32-bit tests run only where this machine executes 32-bit programs. Whether it does is
# found by running one (a kernel without 32-bit support refuses even Wine's 32-bit loader with
# "Exec format error"), not by looking at files.
#   wine32.sh probe DIR PE32_EXE    runs PE32_EXE with the 32-bit loader in the session of DIR;
#                                   if it does not run, notes why in DIR and exits 77 (skipped)
#   wine32.sh run DIR COMMAND...    runs COMMAND; after a failed probe, exits 77 saying why
set -euo pipefail
action=$1 dir=$2
shift 2
note=$dir/wine32-unavailable
skipped=77

probe() {
    rm -f "$note"
    # shellcheck source=/dev/null
    . "$dir/env.sh"
    local output status=0
    output=$(/usr/lib/wine/wine "$1" 2>&1 </dev/null | tr -d '\r') || status=$?
    if [ $status -eq 0 ] && [ "$output" = "32-bit program ran" ]; then
        echo "32-bit programs run: $output"
        return 0
    fi
    # The last line says why; the shell's own message starts with this script's name and line.
    local why
    why=$(tail -n 1 <<<"${output:-exit status $status}" | sed 's/^.*: line [0-9]*: //')
    echo "this machine cannot execute 32-bit programs: $why" >"$note"
    cat "$note"
    exit $skipped
}

run() {
    if [ -e "$note" ]; then
        echo "skipped: $(cat "$note")"
        exit $skipped
    fi
    exec "$@"
}

"$action" "$@"
