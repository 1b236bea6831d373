#!/usr/bin/env bash
# varnholt-cli's benchmarks (not tests): bulk generation against cat of the same bytes (plain,
# every match type, duplicates left out, word lists), --unique against the same run without it
# for ad groups of one set and of 50, peak memory, and start-up against true.
# Usage: cli/cli_benchmark.sh [PROGRAM] (default build/native/varnholt-cli, the optimised build).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/setup.sh
. "$root/scripts/setup.sh"
VARNHOLT_PACKAGES=(hyperfine time python3)
install_missing_packages
program=${1:-$root/build/native/varnholt-cli}
work=$root/build/cli_benchmark
mkdir -p "$work"

# Keyword sets of four 8-byte keywords, one per line.
make_sets() {
    python3 -c "
import sys
for i in range(int(sys.argv[1])):
    print('\t'.join('%c%07d' % (c, i) for c in 'abcd'))" "$1" >"$work/sets-$1.tsv"
}
make_sets 1000
make_sets 100000
# The same 100,000 sets in 2,000 ad groups of 50 sets (the fifth field).
python3 -c "
for i in range(100000):
    print('\t'.join(['%c%07d' % (c, i) for c in 'abcd'] + ['group%04d' % (i // 50)]))" >"$work/grouped-100000.tsv"
# One line of four keywords with ten alternatives each: 10,000 sets.
python3 -c "print('\t'.join('|'.join('%c%07d' % (c, i) for i in range(10)) for c in 'abcd'))" >"$work/mix.tsv"

# bulk NAME INPUT OPTIONS...: the program against cat of the bytes it writes, both to /dev/null.
bulk() {
    local name=$1 input=$2
    shift 2
    "$program" "$@" --lf --input "$input" >"$work/$name.out"
    echo "== bulk, $name: $(stat -c %s "$work/$name.out") bytes"
    hyperfine -N --warmup 5 --runs 40 --output=null "$program $* --lf --input $input" "cat $work/$name.out"
}
bulk subsets "$work/sets-100000.tsv" --subsets
bulk match-types "$work/sets-100000.tsv" --subsets --match exact,phrase,broad
bulk unique "$work/sets-100000.tsv" --subsets --unique
# --unique against the same run without it, in one hyperfine run: each set its own ad group,
# then 2,000 ad groups of 50 sets.
for input in sets-100000 grouped-100000; do
    echo "== --unique, $input"
    hyperfine -N --warmup 5 --runs 40 --output=null "$program --subsets --lf --input $work/$input.tsv" \
        "$program --subsets --unique --lf --input $work/$input.tsv"
done
bulk word-lists "$work/mix.tsv" --subsets --mix

echo "== peak resident memory"
for input in sets-1000 sets-100000 grouped-100000; do
    for options in --subsets "--subsets --unique"; do
        # shellcheck disable=SC2086
        echo "$input, $options: $(/usr/bin/time -f %M "$program" $options --lf --input "$work/$input.tsv" 2>&1 >/dev/null) KiB"
    done
done

echo "== start-up: one set from the arguments against true"
hyperfine -N --warmup 20 --runs 300 --output=null "$program blue running shoes -b -s" "true"
