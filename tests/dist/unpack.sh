#!/usr/bin/env bash
# Unpacks the download into DIR, emptied first, as a user would: the folder the download's tests
# run its files from.
# Arguments: ZIP DIR
set -euo pipefail
zip=$1 dir=$2
rm -rf "$dir"
mkdir -p "$dir"
python3 -m zipfile -e "$zip" "$dir"
ls -l "$dir"
