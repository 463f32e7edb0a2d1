#!/usr/bin/env bash
# How merge scales: SHARDS shards of a study of COMBINATIONS variants, each with
# MATCHES accepted variants, merged in one step and in two (groups of GROUP
# shards with --partial, then the groups), timed with their peak memory.
#   bench/merge_scale.sh QUAV_CLI [SHARDS] [COMBINATIONS] [MATCHES] [GROUP]
# The shards' folders are what `optimize --shard K/N` writes (shard.txt,
# original.quav, log.txt, No1.quav ...), made from one real shard of the
# example: its files hard-linked into every folder, its log given MATCHES
# result lines, the records those of K/N of the large study. Needs about
# 2 KB x SHARDS x MATCHES of disk for each merged folder.
set -eu
cli=$(realpath "$1")
shards=${2:-1000}
combinations=${3:-100000000}
matches=${4:-100}
group=${5:-100}
examples=$(realpath "$(dirname "$0")/../examples")
work=$(mktemp -d "${TMPDIR:-/tmp}/quav-merge-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

"$cli" optimize "$examples/power_unit.quav" --out real --shard 1/1 2>/dev/null
build=$(sed -n 's/^build //p' real/shard.txt)
mkdir template
cp real/original.quav template/
for i in $(seq 1 "$matches"); do cp real/No1.quav "template/No$i.quav"; done
# The real log's header, MATCHES copies of its first result line, its tail.
LC_ALL=C awk -v n="$matches" '
    !body { print; if ($0 ~ /^-+\r$/) body = 1; next }
    !line { line = $0; sub(/^No1\.quav/, "", line); for (i = 1; i <= n; i++) print "No" i ".quav" line; next }
    $0 == "\r" { tail = 1 }
    tail { print }' real/log.txt >template/log.txt

echo "making $shards shards of $combinations combinations, $matches accepted each"
for k in $(seq 1 "$shards"); do
    cp -al template "s$k"
    begin=$(( combinations * (k - 1) / shards ))
    end=$(( combinations * k / shards ))
    printf 'QUAV shard record 2\nbuild %s\nshard %d/%d\ncombinations %d\nrange %d %d\nprocessed %d\nmatches %d\nstatus finished\nstarted 1700000000\nended 1700003600\n' \
        "$build" "$k" "$shards" "$combinations" "$begin" "$end" $((end - begin)) "$matches" \
        >"s$k/shard.txt"
done
sync

measure() { # what command...
    local what=$1
    shift
    /usr/bin/time -f "$what: %e s, peak memory %M KB" "$@" >/dev/null
}
measure "merge of $shards shards" "$cli" merge s* --out whole
groups=()
for first in $(seq 1 "$group" "$shards"); do
    last=$(( first + group - 1 < shards ? first + group - 1 : shards ))
    dirs=()
    for k in $(seq "$first" "$last"); do dirs+=("s$k"); done
    measure "merge of shards $first-$last" "$cli" merge --partial "${dirs[@]}" --out "g$first" \
        2>>parts.txt
    groups+=("g$first")
done
echo "slowest part: $(sort -t: -k2 -g parts.txt | tail -1)"
measure "merge of the ${#groups[@]} groups" "$cli" merge "${groups[@]}" --out twice
echo "files merged: $(ls whole | wc -l)"
diff -r whole twice >/dev/null && echo "one step and two steps give the same folder" ||
    { echo "the two merged folders differ"; exit 1; }
