#!/usr/bin/env bash
# The unpacked console program under Wine against the native build: the same version line, and
# for a campaign from a file with the common options the same file, messages and exit status,
# byte for byte.
# Arguments: WINE_DIR CLI_EXE NATIVE_CLI VERSION WORK_DIR
set -euo pipefail
wine_dir=$1 cli=$2 native=$3 version=$4 work=$5
# shellcheck source=/dev/null
. "$wine_dir/env.sh"
status=0
fail() { echo "FAIL: $*"; status=1; }
rm -rf "$work"
mkdir -p "$work"
cd "$work"

"$WINE" "$cli" --version >version.txt
printf 'varnholt-cli %s\n' "$version" | cmp - version.txt || fail "--version printed: $(cat -A version.txt)"

# Two ad groups, word lists, UTF-8 beyond ASCII, and a phrase over Google Ads' 10 words, which
# is warned about.
printf '%s\n' $'blue|red\trunning\tshoes\t\tShoes' $'café\tcrème\tbrûlée' \
    $'one two three\tfour five six\tseven eight nine\tten eleven\tLong' >campaign.txt
options=(--input campaign.txt --mix --subsets --unique --match "exact,phrase" --format csv
         --campaign "Spring sale" --crlf)
windows_status=0 native_status=0
"$WINE" "$cli" "${options[@]}" -o windows.csv 2>windows.err || windows_status=$?
"$native" "${options[@]}" -o native.csv 2>native.err || native_status=$?
[ "$windows_status" = "$native_status" ] || fail "exit status $windows_status under Wine, $native_status natively"
cmp windows.csv native.csv || fail "the campaign files differ"
cmp windows.err native.err || fail "the messages differ: $(cat windows.err) against $(cat native.err)"
[ -s native.err ] || fail "no warning about the long phrase"
echo "$(wc -l <native.csv) rows, $(wc -l <native.err) messages alike"
exit $status
