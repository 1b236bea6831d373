#!/usr/bin/env bash
# varnholt-cli's benchmarks (not tests): bulk generation against cat, peak memory for 1,000
# against 100,000 sets, and start-up against true. Usage: cli/cli_benchmark.sh [PROGRAM]
# (default build/native/varnholt-cli, the optimised build).
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
"$program" --subsets --lf --input "$work/sets-100000.tsv" >"$work/phrases-100000.txt"
echo "100,000 sets with subsets: $(stat -c %s "$work/phrases-100000.txt") bytes of text"

echo "== bulk: varnholt-cli against cat of the same bytes, both to /dev/null"
hyperfine -N --warmup 5 --runs 40 --output=null \
    "$program --subsets --lf --input $work/sets-100000.tsv" "cat $work/phrases-100000.txt"

echo "== peak resident memory"
for sets in 1000 100000; do
    echo "$sets sets: $(/usr/bin/time -f %M "$program" --subsets --lf --input "$work/sets-$sets.tsv" 2>&1 >/dev/null) KiB"
done

echo "== start-up: one set from the arguments against true"
hyperfine -N --warmup 20 --runs 300 --output=null "$program blue running shoes -b -s" "true"
