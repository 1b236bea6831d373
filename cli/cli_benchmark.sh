#!/usr/bin/env bash
# varnholt-cli's benchmarks (not tests): bulk generation against cat of the same bytes (plain,
# every match type, duplicates left out, word lists), --unique against the same run without it
# for ad groups of one set and of 50, a sheet with a heading row and two columns of the user's
# own against the same sets without them, reading in linear time (lone CRs after a long line, a long
# line in UTF-16 or Windows-1252, against UTF-8 of the same size), peak memory, and start-up
# against true. Usage: cli/cli_benchmark.sh [PROGRAM] (default build/native/varnholt-cli, the
# optimised build).
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
# The same sets as a sheet: a heading row and two columns of the user's own (a bid, a URL).
make_sheet() {
    python3 -c "
import sys
print('Keyword 1\tKeyword 2\tKeyword 3\tKeyword 4\tMax CPC\tFinal URL')
for i in range(int(sys.argv[1])):
    print('\t'.join(['%c%07d' % (c, i) for c in 'abcd'] + ['%d.%02d' % (i % 5, i % 100), 'https://example.com/%07d' % i]))
" "$1" >"$work/sheet-$1.tsv"
}
make_sheet 1000
make_sheet 100000
# The same 100,000 sets in 2,000 ad groups of 50 sets (the fifth field).
python3 -c "
for i in range(100000):
    print('\t'.join(['%c%07d' % (c, i) for c in 'abcd'] + ['group%04d' % (i // 50)]))" >"$work/grouped-100000.tsv"
# 100,000 sets of four words of 3 to 10 letters drawn from 20,000, as keywords mostly are: each
# set its own ad group, then in 2,000 ad groups of 50 sets.
python3 -c "
import random, sys
r = random.Random(1)
words = [''.join(r.choice('abcdefghijklmnopqrstuvwxyz') for _ in range(r.randint(3, 10))) for _ in range(20000)]
sets = ['\t'.join(r.sample(words, 4)) for _ in range(100000)]
open(sys.argv[1] + '/words-100000.tsv', 'w').write(''.join(s + '\n' for s in sets))
open(sys.argv[1] + '/grouped-words-100000.tsv', 'w').write(''.join('%s\tgroup%04d\n' % (s, i // 50) for i, s in enumerate(sets)))
# An ad group's sets mostly share its few words: 2,000 ad groups of 50 sets, each drawn from 20 words.
themed = []
for group in range(2000):
    vocabulary = r.sample(words, 20)
    themed += ['\t'.join(r.sample(vocabulary, 4)) + '\tgroup%04d\n' % group for _ in range(50)]
open(sys.argv[1] + '/themed-100000.tsv', 'w').write(''.join(themed))
# Keywords that share a word, each set its own ad group; then ad groups of four sets that share
# two keywords.
shared = ['%s shoes\t%s\t%s shoes\t%s\n' % tuple(r.sample(words, 4)) for _ in range(100000)]
open(sys.argv[1] + '/shared-word-100000.tsv', 'w').write(''.join(shared))
overlap = []
for group in range(25000):
    a, b = r.sample(words, 2)
    overlap += ['%s shoes\t%s\t%s\t%s\tgroup%05d\n' % ((a, b) + tuple(r.sample(words, 2)) + (group,)) for _ in range(4)]
open(sys.argv[1] + '/overlap-100000.tsv', 'w').write(''.join(overlap))
" "$work"
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
# then 2,000 ad groups of 50 sets; 8-byte keywords, then words of 3 to 10 letters, then ad groups
# whose sets share their words, keywords that share a word, and small ad groups that share two.
unique_inputs=(sets-100000 grouped-100000 words-100000 grouped-words-100000 themed-100000 shared-word-100000
    overlap-100000)
for input in "${unique_inputs[@]}"; do
    echo "== --unique, $input"
    hyperfine -N --warmup 5 --runs 40 --output=null "$program --subsets --lf --input $work/$input.tsv" \
        "$program --subsets --unique --lf --input $work/$input.tsv"
done
bulk word-lists "$work/mix.tsv" --subsets --mix

# Long lines and lone CRs: each file against a UTF-8 file of the same size with LF line ends,
# in one hyperfine run. The budget: at most 3 times that file's time.
python3 -c "
import sys
work = sys.argv[1]
def write(name, text, encoding='utf-8', prefix=b''):
    open(work + '/' + name, 'wb').write(prefix + text.encode(encoding))
line = 'k' * (2 * 1024 * 1024 - 2) + '\tb'  # a 2 MB keyword set
write('cr.tsv', line + '\r' * 2000000)
write('lf.tsv', line + '\n' * 2000000)
write('cr.csv', line.replace('\t', ',') + '\r' * 2000000)
write('lf.csv', line.replace('\t', ',') + '\n' * 2000000)
accented = '\u00e9' * (10 ** 7 - 3) + '\tb\n'  # 10 million characters, 20 MB in either encoding
write('long-utf-8.tsv', accented)
write('long-utf-16.tsv', accented, 'utf-16-le', b'\xff\xfe')
write('long-ascii.tsv', 'k' * (2 * 10 ** 7 - 3) + '\tb\n')" "$work"

# relative TITLE BASELINE-OPTIONS OTHER-OPTIONS...: each run's mean and least time, and its
# processor time (user and system, which other programs on a shared machine disturb least), as
# multiples of the first's.
relative() {
    local title=$1
    shift
    echo "== $title"
    local commands=()
    for options in "$@"; do commands+=("$program --lf $options"); done
    hyperfine -N --warmup 3 --runs 20 --output=null --export-json "$work/reading.json" "${commands[@]}" >/dev/null
    python3 -c "
import json, sys
results = json.load(open(sys.argv[1]))['results']
times = [(r['mean'], r['min'], r['user'] + r['system']) for r in results]
print('%-52s %22s %22s %22s' % ('', 'mean', 'least', 'user + system'))
for result, time in zip(results, times):
    options = result['command'].split(' --lf ')[1].replace(sys.argv[2] + '/', '')
    print('%-52s' % options + ''.join('%9.1f ms (%5.2f x)' % (t * 1000, t / base) for t, base in zip(time, times[0])))
" "$work/reading.json" "$work"
}
relative "reading, lone CRs after a 2 MB line (4 MB)" "--input $work/lf.tsv" "--input $work/cr.tsv" \
    "--input-format csv --input $work/lf.csv" "--input-format csv --input $work/cr.csv"
relative "reading, a line of 10 million characters (20 MB)" "--input $work/long-utf-8.tsv" "--input $work/long-utf-16.tsv"
relative "reading, a line of 20 million characters (20 MB)" "--input $work/long-ascii.tsv" \
    "--input-encoding windows-1252 --input $work/long-ascii.tsv"

# The sheet against the same sets without a heading row and the two columns, as text (which
# leaves the columns out) and as CSV (which copies them onto every row). The budget: at most 1.2
# times the run without them.
relative "a heading row and two columns of the user's own, text" "--subsets --input $work/sets-100000.tsv" \
    "--subsets --header --input $work/sheet-100000.tsv"
relative "a heading row and two columns of the user's own, CSV" "-f csv --subsets --input $work/sets-100000.tsv" \
    "-f csv --subsets --header --input $work/sheet-100000.tsv"

echo "== peak resident memory"
for input in sets-1000 "${unique_inputs[@]}"; do
    for options in --subsets "--subsets --unique"; do
        # shellcheck disable=SC2086
        echo "$input, $options: $(/usr/bin/time -f %M "$program" $options --lf --input "$work/$input.tsv" 2>&1 >/dev/null) KiB"
    done
done
for input in sheet-1000 sheet-100000; do
    options="-f csv --subsets --header"
    # shellcheck disable=SC2086
    echo "$input, $options: $(/usr/bin/time -f %M "$program" $options --lf --input "$work/$input.tsv" 2>&1 >/dev/null) KiB"
done

echo "== start-up: one set from the arguments against true"
hyperfine -N --warmup 20 --runs 300 --output=null "$program blue running shoes -b -s" "true"
