#!/usr/bin/env bash
# End-to-end cases of quav-cli: e2e.sh CASE QUAV_CLI EXAMPLES_DIR DATA_DIR
set -u
case_name=$1
cli=$2
examples=$3
data=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL [$case_name]: $*" >&2; exit 1; }
expect_code() { # expected actual what
    [ "$1" -eq "$2" ] || fail "$3: exit code $2, expected $1"
}
contains() { grep -qF -- "$2" "$1" || fail "$1 does not contain: $2"; }
# exits CODE WHAT ARGS...: quav-cli ARGS ends with CODE; stdout and stderr kept in $work.
exits() { "$cli" "${@:3}" >"$work/stdout" 2>"$work/stderr"; expect_code "$1" $? "$2"; }
# says CODE WHAT TEXT ARGS...: as exits, and stderr holds TEXT.
says() { exits "$1" "$2" "${@:4}"; contains "$work/stderr" "$3"; }
# log_has DIR TEXT...: DIR/log.txt is CP932 and holds every TEXT.
log_has() {
    iconv -f CP932 -t UTF-8 "$1/log.txt" >"$work/log.utf8" || fail "$1/log.txt is not CP932"
    for text in "${@:2}"; do contains "$work/log.utf8" "$text"; done
}
# A run's log without the time stamps of its start and end.
unstamped() { iconv -f CP932 -t UTF-8 "$1" | sed 's/^\(計算[^：]*日時：\).*/\1/'; }

example="$examples/power_unit.quav"

# The dates of the input listing are the file's own: masked before comparing.
mask_dates() { sed -E 's/^(\t(作成日|更新日)\t).*$/\1<date>/' "$1"; }
# Output against tests/data/golden byte for byte (QUAV_REGENERATE_GOLDEN=1 rewrites it).
golden() { # actual expected-name
    if [ "${QUAV_REGENERATE_GOLDEN:-0}" = 1 ]; then
        mask_dates "$1" >"$data/golden/$2"
        return 0
    fi
    mask_dates "$1" | cmp -s - "$data/golden/$2"
}

case "$case_name" in
calc)
    exits 0 "calc" calc "$example" -o "$work/out.quav"
    contains "$work/stdout" "計算終了"
    # A bad frequency range fails with the reason and writes nothing.
    exits 1 "bad range" calc "$example" -o "$work/bad.quav" --start 50 --end 10
    contains "$work/stdout" "ｴﾗｰ"
    [ -s "$work/stderr" ] || fail "no reason given"
    [ ! -e "$work/bad.quav" ] || fail "output written after a failure"
    exits 0 "--only" calc "$example" -o "$work/same.quav" --only eigen,static
    "$cli" dump "$work/same.quav" >"$work/same.json"
    contains "$work/same.json" '"frequencyStepResults": null'
    # An invalid model: mass 0, no springs.
    printf '{"mass": 0, "inertia": [[1,0,0],[0,1,0],[0,0,1]]}' >"$work/invalid.json"
    exits 1 "invalid model" calc "$work/invalid.json" -o "$work/invalid.quav"
    [ "$(wc -l <"$work/stderr")" -ge 2 ] || fail "expected one line per failed check"
    # A sweep whose results no model file can hold is refused before it starts.
    loads=$(yes '{},' | head -n 3000 | tr -d '\n')
    sed "s/\"dynamicLoads\": \[/\"dynamicLoads\": [$loads/" "$examples/power_unit.json" \
        >"$work/loads.json"
    (ulimit -v 400000 && exec "$cli" calc "$work/loads.json" -o "$work/loads.quav" \
        --start 1 --end 100000 --step 1) >"$work/stdout" 2>"$work/stderr"
    expect_code 1 $? "3,000 loads x 100,000 steps"
    contains "$work/stdout" "ｴﾗｰ"
    contains "$work/stderr" "結果がモデルファイルの上限 256 MB を超えます"
    ;;
reports)
    "$cli" calc "$example" -o "$work/c.quav" >/dev/null || fail "calc"
    for cmd in report listing elastic; do
        "$cli" $cmd "$work/c.quav" >"$work/$cmd.utf8"
        expect_code 0 $? "$cmd"
        "$cli" $cmd "$work/c.quav" --encoding cp932 >"$work/$cmd.cp932"
        expect_code 0 $? "$cmd cp932"
        iconv -f CP932 -t UTF-8 "$work/$cmd.cp932" | cmp -s - "$work/$cmd.utf8" ||
            fail "$cmd: cp932 output does not decode to the utf-8 output"
    done
    # A report goes out as it is made, in little memory, and stops when stdout fails.
    { printf '{"springs": ['; yes '{},' | head -n 1999 | tr -d '\n'; printf '{}], '
      printf '"staticLoads": ['; yes '{},' | head -n 149 | tr -d '\n'; printf '{}], '
      printf '"results": {"calculated": 1, "staticResults": ['
      yes '[0, 0, 0, 0, 0, 0],' | head -n 149 | tr -d '\n'; printf '[0, 0, 0, 0, 0, 0]]}}'
    } >"$work/wide.json"
    bytes=$( (ulimit -v 40000 && exec "$cli" report "$work/wide.json") | wc -c)
    [ "$bytes" -gt 50000000 ] || fail "a report of 2,000 springs x 150 loads in 40 MB: $bytes bytes"
    "$cli" report "$work/wide.json" --encoding cp932 >/dev/full 2>/dev/null
    expect_code 2 $? "a long report to /dev/full"
    ;;
json)
    # .quav -> JSON -> .quav is byte-identical, JSON -> .quav -> JSON identical.
    "$cli" calc "$example" -o "$work/c.quav" >/dev/null || fail "calc"
    "$cli" convert "$work/c.quav" "$work/c.json" || fail "to json"
    "$cli" convert "$work/c.json" "$work/c2.quav" || fail "to quav"
    cmp -s "$work/c.quav" "$work/c2.quav" || fail ".quav -> JSON -> .quav changed bytes"
    "$cli" dump "$work/c2.quav" >"$work/c2.json" || fail "dump"
    cmp -s "$work/c.json" "$work/c2.json" || fail "JSON -> .quav -> JSON changed"
    "$cli" convert "$examples/power_unit.json" "$work/e.quav" || fail "example json"
    cmp -s "$work/e.quav" "$example" || fail "examples/power_unit.quav is not the JSON source"
    # A bad JSON is refused with the key path of the problem.
    sed 's/"position": \[/"position": ["bad", /' "$examples/power_unit.json" >"$work/bad.json"
    says 2 "bad json" "springs[0].position" convert "$work/bad.json" "$work/bad.quav"
    [ ! -e "$work/bad.quav" ] || fail "a refused JSON wrote a file"
    ;;
usage)
    exits 2 "no command"
    "$cli" calc --help >"$work/help" 2>&1
    expect_code 0 $? "--help"
    contains "$work/help" "--only"
    exits 2 "missing file" report "$work/missing.quav"
    head -c 100 "$example" >"$work/cut.quav"
    exits 2 "truncated file" report "$work/cut.quav"
    [ -s "$work/stderr" ] || fail "no message for a damaged file"
    exits 2 "bad load number" sweep "$example" --load 9
    # Numbers that are empty, not finite or beyond a double are refused.
    for value in "" 1e400 -inf nan 1e-400 12abc; do
        exits 2 "--step '$value'" calc "$example" -o "$work/n.quav" --step "$value"
    done
    exits 2 "empty --load" sweep "$example" --load ""
    [ ! -e "$work/n.quav" ] || fail "a refused number wrote a file"
    ;;
stdout)
    # Output that cannot be written is an error, never a success.
    "$cli" calc "$example" -o "$work/c.quav" >/dev/null || fail "calc"
    for cmd in "dump $example" "report $work/c.quav" "listing $example" "elastic $work/c.quav" \
        "sweep $work/c.quav --load 1" "calc $example -o $work/d.quav" "ked $example --json" \
        "tra $example" "forces $example" "transmissibility $example --load 1" \
        "robust $example --tolerance 5 --samples 10" "sens $example --json" "sens $example"; do
        $cli $cmd >/dev/full 2>"$work/stderr"
        expect_code 2 $? "$cmd >/dev/full"
        contains "$work/stderr" "cannot write to standard output"
        $cli $cmd >&- 2>/dev/null
        expect_code 2 $? "$cmd with stdout closed"
    done
    # A name of our own stdout is written through it, even a regular file (appended).
    echo old >"$work/log.txt"
    "$cli" convert "$example" /dev/stdout >>"$work/log.txt" || fail "convert to /dev/stdout"
    { printf 'old\n'; cat "$example"; } | cmp -s - "$work/log.txt" || fail "/dev/stdout replaced"
    { echo head; "$cli" convert "$example" /proc/self/fd/1; echo foot; } >"$work/all.txt"
    { echo head; cat "$example"; echo foot; } | cmp -s - "$work/all.txt" || fail "fd 1 lost lines"
    # A file-size limit is a message, not the signal; SIGQUIT leaves no temporary file.
    (ulimit -f 1 && exec "$cli" calc "$example" -o "$work/limit.quav" --start 1 --end 1000 \
        --step 0.1) >/dev/null 2>"$work/stderr"
    expect_code 2 $? "calc beyond the file-size limit"
    contains "$work/stderr" "cannot write"
    [ -z "$(ls -A "$work" | grep '^\.quav-')" ] || fail "temporary file left by the size limit"
    # Ten loads over 100,000 steps: about 100 MB to write, long enough to catch.
    jq '.dynamicLoads = [.dynamicLoads[0] as $l | range(10) | $l]' "$examples/power_unit.json" \
        >"$work/ten.json"
    "$cli" calc "$work/ten.json" -o "$work/quit.quav" --start 0.001 --end 1000 --step 0.01 \
        >/dev/null &
    pid=$!
    seen=0
    for _ in $(seq 1 1000); do
        [ -n "$(ls -A "$work" | grep '^\.quav-')" ] && { seen=1; break; }
        sleep 0.02
    done
    [ $seen = 1 ] || fail "the temporary file of calc -o was never seen"
    kill -QUIT $pid
    wait $pid 2>/dev/null
    [ -z "$(ls -A "$work" | grep '^\.quav-')" ] || fail "temporary file left by SIGQUIT"
    ;;
files)
    # A FIFO, a device and a link to stdout are written through, never replaced.
    mkfifo "$work/fifo"
    timeout 10 cat "$work/fifo" >"$work/through_fifo" &
    reader=$!
    # Refused (exit 2) until the reader has come to the FIFO.
    for _ in $(seq 50); do
        "$cli" calc "$example" -o "$work/fifo" >/dev/null 2>&1
        code=$?
        [ $code -eq 2 ] || break
        sleep 0.1
    done
    expect_code 0 $code "calc -o FIFO"
    wait $reader
    [ -p "$work/fifo" ] || fail "the FIFO was replaced by a file"
    "$cli" dump "$work/through_fifo" >/dev/null || fail "what went through the FIFO is no model"
    timeout 10 "$cli" calc "$example" -o "$work/fifo" >/dev/null 2>&1
    expect_code 2 $? "calc -o FIFO without a reader"
    ln -s /proc/self/fd/1 "$work/so"
    "$cli" convert "$example" "$work/so" | cmp -s - "$example" || fail "convert to a link to stdout"
    [ -L "$work/so" ] || fail "the link to stdout was replaced"
    # Anything else is refused.
    ln -s loop "$work/loop"
    mkdir "$work/folder"
    for target in loop folder; do
        exits 2 "calc -o $target" calc "$example" -o "$work/$target"
    done
    [ -L "$work/loop" ] && [ -d "$work/folder" ] || fail "a refused target was changed"
    # A name of 250 bytes leaves no room for a longer temporary name.
    long="$work/$(printf 'n%.0s' $(seq 245)).quav"
    exits 0 "a name of 250 bytes" calc "$example" -o "$long"
    # A file the user may not write is left alone: run as nobody where we are root.
    as_user=()
    [ "$(id -u)" -eq 0 ] && as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    shared=$(mktemp -d /tmp/quav-shared-XXXXXX)
    trap 'rm -rf "$work" "$shared"' EXIT
    chmod 777 "$shared"
    cp "$example" "$shared/read_only.quav"
    [ "$(id -u)" -eq 0 ] && chown 65534 "$shared/read_only.quav"
    chmod 444 "$shared/read_only.quav"
    others=read_only.quav
    if [ "$(id -u)" -eq 0 ]; then
        cp "$example" "$shared/others.quav" # root's, in a folder nobody may write
        others="$others others.quav"
    fi
    for name in $others; do
        owner=$(stat -c %u "$shared/$name")
        "${as_user[@]}" "$cli" convert "$example" "$shared/$name" 2>"$work/stderr"
        expect_code 2 $? "convert over $name"
        contains "$work/stderr" "書き込みが許可されていない"
        cmp -s "$shared/$name" "$example" || fail "$name was changed"
        [ "$(stat -c %u "$shared/$name")" = "$owner" ] || fail "$name changed its owner"
    done
    [ -z "$(ls -A "$work" | grep '\.tmp$')" ] || fail "a temporary file was left behind"
    ;;
memory)
    # Out of memory is a message and exit 1 (not under a sanitizer's shadow memory).
    if ldd "$cli" | grep -q 'lib[at]san'; then
        echo "skipped [$case_name]: sanitizer build"
        exit 0
    fi
    "$cli" calc "$example" -o "$work/big.quav" --start 0 --end 1000 --step 0.02 >/dev/null ||
        fail "calc of a 50,001-step sweep"
    for cmd in "calc $example -o $work/x.quav --start 0 --end 1000 --step 0.02" \
        "dump $work/big.quav" "report $work/big.quav"; do
        (ulimit -v 20000 && exec $cli $cmd) >/dev/null 2>"$work/stderr"
        expect_code 1 $? "$cmd in 20 MB"
        contains "$work/stderr" "not enough memory"
    done
    # JSON is read within the model file's limits, as it comes.
    { printf '{"springs": ['; yes '{},' | head -n 999999 | tr -d '\n'; printf '{}]}'; } \
        >"$work/springs.json"
    (ulimit -v 200000 && exec "$cli" dump "$work/springs.json") >/dev/null 2>"$work/stderr"
    expect_code 2 $? "a million springs"
    contains "$work/stderr" "springs[100000]: more entries than a model file may hold"
    { printf '{"frequencyStart": 1, "frequencyEnd": 10000000, "frequencyStep": 1, '
      printf '"results": {"frequencyStepResults": ['
      yes '[],' | head -n 9999999 | tr -d '\n'; printf '[]]}}'; } >"$work/tables.json"
    (ulimit -v 40000 && exec "$cli" convert "$work/tables.json" "$work/tables.quav") \
        2>"$work/stderr"
    expect_code 0 $? "ten million empty sweep tables"
    # The mount forces go out load by load: 1,000 springs x 400 loads in 40 MB.
    jq '.springs as $s | del(.results) | .lastId = 300000
        | .springs = [range(1000) as $i | $s[$i % 4] | .id = 1000 + $i | .name = "s\($i)"
            | .position[2] += ($i / 4 | floor) * 0.0001]
        | .staticLoads = [range(200) as $i | .staticLoads[0] | .id = 100000 + $i]
        | .dynamicLoads = [range(200) as $i | .dynamicLoads[0] | .id = 200000 + $i
            | .frequency = 5 + $i * 0.5]' "$examples/power_unit.json" >"$work/forces.json"
    for json in "" --json; do
        (ulimit -v 40000 && exec "$cli" forces "$work/forces.json" $json) >"$work/forces.out" \
            2>"$work/stderr"
        expect_code 0 $? "forces $json of 1,000 springs x 400 loads in 40 MB"
        # Every load down to its last spring.
        last=$(if [ -n "$json" ]; then grep -c '"id": 1999,$' "$work/forces.out"
               else grep -c "^s999	1999	" "$work/forces.out"; fi)
        [ "$last" -eq 400 ] || fail "forces $json: the last spring in $last loads of 400"
    done
    [ "$(tail -n 1 "$work/forces.out")" = "}" ] || fail "forces --json cut short"
    ;;
sweep)
    "$cli" calc "$example" -o "$work/c.quav" >/dev/null || fail "calc"
    exits 0 "sweep" sweep "$work/c.quav" --load 1
    [ "$(head -1 "$work/stdout")" = "frequency,value" ] || fail "CSV header"
    [ "$(wc -l <"$work/stdout")" -eq 200 ] || fail "expected 199 sweep rows"
    exits 0 "spring local" sweep "$work/c.quav" --load 2 --object 3 --frame local --dof y
    exits 2 "local frame on an observation point" sweep "$work/c.quav" --load 2 --object 12 --frame local
    ;;
golden)
    # The example's reports exactly as expected (tests/data/golden).
    cp "$example" "$work/power_unit.quav"
    "$cli" calc "$work/power_unit.quav" -o "$work/power_unit.quav" >/dev/null || fail "calc"
    # The mount reports as the text window shows them; one load's transmissibility CSV.
    while read -r name cmd; do
        "$cli" $cmd "$work/power_unit.quav" >"$work/$name.txt" || fail "$cmd"
        golden "$work/$name.txt" "$name.txt" || fail "$cmd differs from tests/data/golden/$name.txt"
    done <<'RUNS'
report report
listing listing
elastic elastic
ked ked
ked_principal ked --frame principal
tra tra
forces forces
transmissibility transmissibility --load 1
robust robust --tolerance 10 --position-tolerance 0.002 --distribution normal --vary characteristic --samples 400 --seed 7
RUNS
    # The comparison sees a change in the last digit of one value.
    sed '0,/[0-9]\t/s/\([0-9]\)\t/X\t/' "$work/report.txt" >"$work/changed.txt"
    ! cmp -s "$work/changed.txt" "$work/report.txt" || fail "the changed copy is unchanged"
    [ "${QUAV_REGENERATE_GOLDEN:-0}" = 1 ] || ! golden "$work/changed.txt" report.txt ||
        fail "a changed report passed the comparison"
    ;;
optimize)
    # The folder a run writes: the merge case (against the golden merge_log.txt).
    says 0 "optimize" "計算が正常に終了しました" optimize "$example" --out "$work/run"
    # A study that matches nothing says why, in log.txt and on stderr alike.
    jq '.optimizer.conditions.minFrequency = 50' "$examples/power_unit.json" >"$work/none.json"
    exits 0 "optimize matching nothing" optimize "$work/none.json" --out "$work/none"
    contains "$work/stderr" "	最小周波数50[Hz]以上	75"
    contains "$work/stderr" "【最も条件に近い組合せ】"
    iconv -f CP932 -t UTF-8 "$work/none/log.txt" | tr -d '\r' | tail -n 10 >"$work/tail.utf8"
    grep -v '計算が正常に終了しました' "$work/stderr" | tail -n 10 | cmp -s - "$work/tail.utf8" ||
        fail "stderr's summary is not log.txt's"
    # Files that keep failing stop the run after ten: exit 1, the reason said.
    jq '.optimizer.conditions = {}' "$examples/power_unit.json" >"$work/all.json"
    mkdir -p "$work/full"/No{1..10}.quav
    "$cli" optimize "$work/all.json" --out "$work/full" 2>"$work/stderr"
    expect_code 1 $? "optimize with unwritable results"
    contains "$work/stderr" "ファイルを保存できない状態が続いたため処理が中断されました"
    log_has "$work/full" "ファイルを保存できない状態が続いたため処理が中断されました" "処理件数	10"
    # --plan sizes shards from a timed sample (a study this small: all of it).
    exits 0 "--plan" optimize "$example" --plan 3 --json
    jq -e '.combinations == 75 and .shards == 3 and .combinationsPerShard == 25
        and .sampled == 75 and .sampleAccepted == 3 and .secondsPerShard >= 0' "$work/stdout" \
        >/dev/null || fail "--plan JSON"
    "$cli" optimize "$example" --plan 4 | grep -q "^combinations per shard	19$" ||
        fail "--plan 4: the largest part"
    for bad in "--plan 0" "--plan 3 --shard 1/3" "--json"; do
        exits 2 "optimize $bad" optimize "$example" $bad
    done
    ;;
simd)
    # Eigen solutions side by side on two threads, one at a time on one: the same
    # folder, byte for byte, whatever the instruction set and the threads. Two studies: one only the modes settle, so that most variants are solved, and
    # the frequency window alone, whose variants are counted side by side without models.
    jq '.optimizer.parameters |= map(.increment /= 4) |
        .optimizer.conditions.minFrequencyEnabled = 0 |
        .optimizer.conditions.maxFrequencyEnabled = 0 |
        .optimizer.conditions.springRatioEnabled = 0 |
        .optimizer.conditions.displacementConditions = [] |
        .optimizer.conditions.meanCouplingMax = 18' \
        "$examples/power_unit.json" >"$work/modes.json"
    jq '.optimizer.parameters |= map(.increment /= 4) |
        .optimizer.conditions.modeConditionEnabled = [0, 0, 0, 0, 0, 0] |
        .optimizer.conditions.springRatioEnabled = 0 |
        .optimizer.conditions.meanCouplingEnabled = 0 |
        .optimizer.conditions.displacementConditions = []' \
        "$examples/power_unit.json" >"$work/window.json"
    for study in modes window; do
        first="$work/$study-scalar:1"
        for run in scalar:1 avx2:2 avx512:2; do
            out="$work/$study-$run"
            QUAV_SIMD=${run%:*} "$cli" optimize "$work/$study.json" --out "$out" \
                --threads ${run#*:} 2>/dev/null || fail "$study with $run"
            ls "$out" | cmp -s - <(ls "$first") || fail "$study with $run: other files"
            for f in "$first"/*.quav; do
                cmp -s "$f" "$out/${f##*/}" || fail "$study with $run: ${f##*/} differs"
            done
            [ "$(unstamped "$first/log.txt")" = "$(unstamped "$out/log.txt")" ] ||
                fail "$study with $run: log.txt differs"
        done
        ls "$first"/No*.quav >/dev/null 2>&1 || fail "$study: no accepted variant"
    done
    ;;
pareto)
    # Every variant of the example accepted, two objectives: the front in pareto.csv
    # (which variants: OptimizerRunTest).
    sed -E 's/(Enabled": )1/\10/; s/(Enabled": )\[[0-9, ]+\]/\1[0, 0, 0, 0, 0, 0]/; s/"limit": 0.004/"limit": 1/' \
        "$examples/power_unit.json" >"$work/open.json"
    objectives=(--objective max:decouplingMin --objective min:transmissibility:1)
    exits 0 "whole" optimize "$work/open.json" --out "$work/whole" "${objectives[@]}"
    [ "$(ls "$work/whole"/No*.quav | wc -l)" = 75 ] || fail "not every variant accepted"
    contains "$work/whole/pareto.csv" "file,front Kxx,rear Kxx,rear x,decouplingMin,transmissibility:1"
    # Shards merged, and merged in parts: the single run's front, byte for byte.
    for k in 1 2 3; do
        "$cli" optimize "$work/open.json" --out "$work/s$k" --shard $k/3 "${objectives[@]}" \
            2>/dev/null || fail "shard $k"
    done
    exits 0 "merge" merge "$work/s2" "$work/s3" "$work/s1" --out "$work/m"
    cmp -s "$work/whole/pareto.csv" "$work/m/pareto.csv" || fail "merged front differs"
    exits 0 "partial" merge "$work/s2" "$work/s3" --out "$work/g" --partial
    exits 0 "merge again" merge "$work/g" "$work/s1" --out "$work/m2"
    cmp -s "$work/whole/pareto.csv" "$work/m2/pareto.csv" || fail "front merged in parts differs"
    # A damaged front is refused, nothing written.
    sed -i '2s/,[^,]*$/,x/' "$work/s2/pareto.csv"
    exits 2 "damaged front" merge "$work/s1" "$work/s2" "$work/s3" --out "$work/bad"
    contains "$work/stderr" "pareto.csv: not the front of a run"
    [ ! -e "$work/bad" ] || fail "a refused merge wrote files"
    # Objectives kept in the model file and in JSON; the same front from them.
    exits 0 "convert" convert "$work/whole/original.quav" "$work/back.json"
    contains "$work/back.json" '"kind": "transmissibility"'
    exits 0 "from the file's objectives" optimize "$work/back.json" --out "$work/again"
    cmp -s "$work/whole/pareto.csv" "$work/again/pareto.csv" || fail "front differs"
    # Refused with exit 2 (the model's refusals: ObjectivesTest).
    says 2 "bad objective" "SENSE:KIND" optimize "$work/open.json" --out "$work/x" \
        --objective max:mass
    # The evolutionary search's settings reach it (one folder per seed: EvolutionarySearchTest).
    exits 0 "search" optimize "$work/open.json" --out "$work/n" "${objectives[@]}" \
        --search nsga2 --population 12 --generations 3 --seed 5 --threads 2
    log_has "$work/n" "乱数の種	5" "評価回数	48" "ハイパーボリューム	"
    exits 2 "search settings" optimize "$work/open.json" --out "$work/x" --population 12
    exits 2 "odd population" optimize "$work/open.json" --out "$work/x" "${objectives[@]}" \
        --search nsga2 --population 13
    contains "$work/stderr" "個体数は4～100000の偶数です"
    exits 2 "search shard" optimize "$work/open.json" --out "$work/x" "${objectives[@]}" \
        --search nsga2 --shard 1/2
    ;;
merge)
    # Five shards, one on two threads, merged in parts out of order: the whole run's folder.
    umask 022
    "$cli" optimize "$example" --out "$work/whole" 2>/dev/null || fail "whole run"
    for k in 1 2 3 4 5; do
        "$cli" optimize "$example" --out "$work/s$k" --shard $k/5 --threads $((k % 2 + 1)) \
            2>/dev/null || fail "shard $k"
    done
    matched=$(grep -l '^matches [1-9]' "$work"/s*/shard.txt | head -1 | xargs dirname)
    # The merged start is the earliest, the end the latest, in any order.
    sed -i 's/^started .*/started 1700000000/' "$work/s4/shard.txt"
    sed -i 's/^ended .*/ended 1800000000/' "$work/s2/shard.txt"
    exits 0 "first part" merge "$work/s2" "$work/s1" --out "$work/g1" --partial
    contains "$work/stdout" "shards 1-2/5 merged: combinations 1 to 30"
    contains "$work/g1/shard.txt" "ended 1800000000"
    exits 0 "second part" merge "$work/s5" "$work/s3" "$work/s4" --out "$work/g2" --partial
    TZ=UTC "$cli" merge "$work/g2" "$work/g1" --out "$work/m" >"$work/stdout" ||
        fail "merge of the parts"
    contains "$work/stdout" "5 shards merged: 75 combinations, 3 accepted"
    # No lock file or other hidden file in either.
    [ "$(ls -A "$work/m")" = "$(ls -A "$work/whole")" ] || fail "merged files differ"
    for f in "$work"/whole/*.quav; do
        cmp -s "$f" "$work/m/${f##*/}" || fail "${f##*/} differs"
    done
    [ "$(unstamped "$work/whole/log.txt")" = "$(unstamped "$work/m/log.txt")" ] ||
        fail "merged log.txt differs from the run's"
    unstamped "$work/m/log.txt" >"$work/merge_log.txt"
    golden "$work/merge_log.txt" merge_log.txt ||
        fail "merged log.txt differs from tests/data/golden/merge_log.txt"
    log_has "$work/m" "計算スタート日時：	2023年11月14日22時13分20秒" \
        "計算終了日時：	2027年1月15日8時0分0秒"
    # Refused with exit 2 and nothing written; the combinations a shard left are named.
    refused() { # message merge-arguments...
        local message=$1
        shift
        says 2 "merge $*" "merge refused: " merge "$@"
        contains "$work/stderr" "$message"
    }
    all=("$work"/s{1,2,3,4,5})
    refused "no output folder given" "${all[@]}" --out ""
    mkdir "$work/used" && touch "$work/used/old"
    refused "is not empty" "${all[@]}" --out "$work/used"
    refused "shard 2/5, combinations 16 to 30: no folder given" "$work"/s{1,3,4,5} --out "$work/r"
    cp -r "$work/s2" "$work/s2again"
    refused "shard 2/5 given twice" "${all[@]}" "$work/s2again" --out "$work/r"
    # A shard that ended early, by how it ended.
    while IFS='|' read -r status processed message; do
        sed -i "s/^status .*/status $status/; s/^processed .*/processed $processed/" \
            "$work/s2again/shard.txt"
        refused "shard 2/5, combinations $message" "$work"/s{1,2again,3,4,5} --out "$work/r"
    done <<'ENDED'
stopped|10|26 to 30: stopped after 10 of 15
finished|14|30 to 30: its record ends early
failed|15|16 to 30: some of its files could not be written
running|3|16 to 30: its run did not finish
ENDED
    sed 's/"mass": 185/"mass": 186/' "$examples/power_unit.json" >"$work/other.json"
    "$cli" optimize "$work/other.json" --out "$work/other" --shard 2/5 2>/dev/null
    refused "another study" "$work"/{s1,other,s3,s4,s5} --out "$work/r"
    # Not read while a run holds a shard's folder; not written while a run writes there.
    flock -o "$work/s3" sleep 2 &
    locker=$!
    while flock -n -s "$work/s3" true; do sleep 0.05; done
    refused "s3: an optimiser run or a merge is writing into it" "${all[@]}" --out "$work/r"
    wait $locker
    "$cli" optimize "$data/long_run.json" --out "$work/busy" 2>/dev/null &
    run=$!
    while [ ! -e "$work/busy/original.quav" ]; do sleep 0.05; done
    refused "出力ﾌｫﾙﾀﾞは他の最適化計算が使用中です" "${all[@]}" --out "$work/busy"
    kill -INT $run
    wait $run
    # A link or a mix of builds in a shard; a million shards with gaps (ten listed).
    cp -r "$matched" "$work/linked"
    ln -sf "$matched/No1.quav" "$work/linked/No1.quav"
    cp -r "$matched" "$work/rebuilt"
    sed -i 's/^build .*/build 0.0-other/' "$work/rebuilt/shard.txt"
    for k in $(seq 1 2 23); do
        cp -r "$work/s1" "$work/part$k"
        printf 'QUAV shard record 2\nbuild %s\nshard %d/1000000\ncombinations 2000000\nrange %d %d\nprocessed 2\nmatches 0\nstatus finished\nstarted 1\nended 2\n' \
            "$(sed -n 's/^build //p' "$work/s1/shard.txt")" $k $((2 * k - 2)) $((2 * k)) \
            >"$work/part$k/shard.txt"
    done
    for case in linked rebuilt million; do
        case $case in
        linked) message="No1.quav is missing or not a file"
                dirs=("${all[@]/$matched/$work/linked}") ;;
        rebuilt) message="run every shard of a study with one build"
                 dirs=("${all[@]/$matched/$work/rebuilt}") ;;
        million) message="the shards do not cover every combination; missing:"
                 dirs=("$work"/part*) ;;
        esac
        refused "$message" "${dirs[@]}" --out "$work/r"
    done
    contains "$work/stderr" "shard 2/1000000, combinations 3 to 4: no folder given"
    contains "$work/stderr" "  ... and 2 more"
    [ "$(wc -c <"$work/stderr")" -lt 2000 ] || fail "a long list of gaps"
    if ! ldd "$cli" | grep -q 'lib[at]san'; then
        # A log of 16 MB of line ends is read in little memory.
        cp -r "$matched" "$work/ends"
        head -c 8000000 /dev/zero | tr '\0' '\n' | sed 's/$/\r/' >"$work/ends/log.txt"
        (ulimit -v 100000 && exec "$cli" merge "${all[@]/$matched/$work/ends}" --out "$work/r") \
            2>"$work/stderr"
        expect_code 2 $? "a log of line ends"
        contains "$work/stderr" "log.txt is not the log of a run"
    fi
    [ ! -e "$work/r" ] || fail "a refused merge wrote files"
    # A merge failing part way removes what it wrote and says so.
    cp -r "$matched" "$work/bad"
    echo junk >"$work/bad/No1.quav"
    exits 1 "a damaged result" merge "${all[@]/$matched/$work/bad}" --out "$work/r"
    contains "$work/stderr" "merge failed: $work/bad/No1.quav: not a model file of this version"
    [ ! -e "$work/r" ] || fail "a failed merge left files"
    ls -A "$work" | grep -q '^\.quav-merge' && fail "a failed merge left its folder"
    # Permissions: no file or folder more open than the shards'.
    chmod 600 "$matched/No1.quav"
    chmod 700 "$work/s2"
    exits 0 "private files" merge "${all[@]}" --out "$work/p"
    [ "$(stat -c %a "$work/p" "$work/p/No1.quav" "$work/p/No2.quav")" = "$(printf '700\n600\n644')" ] ||
        fail "permissions: $(stat -c '%n %a' "$work/p" "$work/p"/No*.quav)"
    ;;
shard-auto)
    # --shard auto writes what --shard K/N writes (the variables: CliPartsTest).
    "$cli" optimize "$example" --out "$work/explicit" --shard 2/3 2>/dev/null || fail "--shard 2/3"
    unstamped_run() { sed '/^\(started\|ended\) /d' "$1/shard.txt"; unstamped "$1/log.txt"; }
    env -i PATH="$PATH" SLURM_ARRAY_TASK_ID=2 SLURM_ARRAY_TASK_MIN=1 SLURM_ARRAY_TASK_MAX=3 \
        "$cli" optimize "$example" --out "$work/auto" --shard auto 2>/dev/null || fail "--shard auto"
    [ "$(unstamped_run "$work/auto")" = "$(unstamped_run "$work/explicit")" ] ||
        fail "--shard auto differs from --shard 2/3"
    for f in "$work"/explicit/*.quav; do
        cmp -s "$f" "$work/auto/${f##*/}" || fail "${f##*/} differs"
    done
    env -i PATH="$PATH" SLURM_ARRAY_TASK_ID=2 "$cli" optimize "$example" --out "$work/refused" \
        --shard auto 2>"$work/stderr"
    expect_code 2 $? "--shard auto without the array's range"
    contains "$work/stderr" "--shard auto: "
    [ ! -e "$work/refused" ] || fail "a refused --shard auto wrote files"
    ;;
interrupt)
    # Stopped by INT, HUP or INT without stderr: exit 2, complete files, folder locked.
    for how in INT HUP pipe; do
        rm -rf "$work/run" "$work/first"
        if [ $how = pipe ]; then
            "$cli" optimize "$data/long_run.json" --out "$work/run" 2> >(head -1 >"$work/first") &
        else
            "$cli" optimize "$data/long_run.json" --out "$work/run" 2>"$work/stderr" &
        fi
        pid=$!
        for _ in $(seq 1 100); do
            [ -e "$work/run/original.quav" ] && [ $how != pipe -o -s "$work/first" ] && break
            sleep 0.1
        done
        sleep 0.5
        timeout 60 "$cli" optimize "$example" --out "$work/run" 2>"$work/second"
        expect_code 2 $? "second run into the folder ($how)"
        contains "$work/second" "出力ﾌｫﾙﾀﾞは他の最適化計算が使用中です"
        [ ! -e "$work/run/log.txt" ] || fail "the refused run wrote log.txt"
        kill -${how/pipe/INT} $pid
        wait $pid
        expect_code 2 $? "optimize stopped by $how"
        [ $how = pipe ] || contains "$work/stderr" "処理が中断されました"
        log_has "$work/run" "処理が中断されました" "処理件数"
        "$cli" dump "$work/run/No1.quav" >/dev/null || fail "No1.quav is not a complete model"
    done
    # The evolutionary search stops on Ctrl-C between generations, as the grid does.
    rm -rf "$work/run"
    "$cli" optimize "$data/long_run.json" --out "$work/run" --objective max:decouplingMin \
        --search nsga2 --population 1000 --generations 100000 2>"$work/stderr" &
    pid=$!
    for _ in $(seq 1 100); do
        [ -e "$work/run/original.quav" ] && break
        sleep 0.1
    done
    sleep 0.5
    kill -INT $pid
    wait $pid
    expect_code 2 $? "the search stopped by INT"
    log_has "$work/run" "処理が中断されました"
    # robust stopped by INT, HUP or INT without stderr reports the samples done.
    for how in INT HUP pipe; do
        if [ $how = pipe ]; then
            "$cli" robust "$example" --tolerance 5 --samples 1000000000 --json >"$work/robust" \
                2> >(head -c 1 >/dev/null) &
        else
            "$cli" robust "$example" --tolerance 5 --samples 1000000000 --json >"$work/robust" \
                2>/dev/null &
        fi
        pid=$!
        sleep 1.5
        kill -${how/pipe/INT} $pid
        wait $pid
        expect_code 2 $? "robust stopped ($how)"
        jq -e '.completed == false and .samples > 0 and .samples < .requested' "$work/robust" \
            >/dev/null || fail "robust lost its samples ($how)"
    done
    ;;
trust)
    # A non-physical model is refused by every analysis with calc's reason (exit 1).
    while IFS=$'\t' read -r name filter study reason; do
        jq "$filter" "$examples/power_unit.json" >"$work/$name.json"
        exits 1 "calc $name" calc "$work/$name.json" -o "$work/$name.quav"
        contains "$work/stdout" "ｴﾗｰ"
        contains "$work/stderr" "$reason"
        [ ! -e "$work/$name.quav" ] || fail "$name: output written"
        cp "$work/stderr" "$work/calc.stderr"
        for cmd in ked tra forces "transmissibility --load 1" "robust --tolerance 5 --samples 9" \
            sens; do
            exits 1 "$cmd $name" $cmd "$work/$name.json"
            cmp -s "$work/stderr" "$work/calc.stderr" || fail "$cmd $name: not calc's reasons"
            [ ! -s "$work/stdout" ] || fail "$cmd $name: output for a refused model"
        done
        exits "$study" "optimize $name" optimize "$work/$name.json" --out "$work/$name-study"
        [ "$study" = 0 ] || contains "$work/stderr" "$reason"
    done <<'CASES'
mass	.mass = -185	1	質量が正ではありません(-185)
nan-mass	.mass = "NaN"	1	質量が正ではありません(nan)
inertia	.inertia[0][1] = 20 | .inertia[1][0] = 20	1	慣性テンソルが正定値ではありません
rate	.springCharacteristics[0].stiffness[0] = -272500	0	ばね特性 front mount(id 6): ばね定数 xx [N/m] が負です(-272500)
damping	.springCharacteristics[1].damping[2] = -1	1	減衰係数 zz [N s/m] が負です(-1)
factor	.springCharacteristics[0].dynamicFactor = 0	1	動的係数が正ではありません(0)
position	.springs[1].position[2] = "Infinity"	1	ばね要素 front left(id 3): 座標 z が数値ではありません
CASES
    # Ranges without a proper list of values are the user's input: refused, named.
    jq '.optimizer.parameters[1].maxValue = 100000' "$examples/power_unit.json" >"$work/range.json"
    exits 2 "inverted range" optimize "$work/range.json" --out "$work/range-study"
    contains "$work/stderr" "ﾊﾟﾗﾒｰﾀ rear Kxx(id 2): 最大値(100000)が最小値(170000)より小さいです"
    [ ! -e "$work/range-study" ] || fail "a refused study made its folder"
    # A free direction's static answer is no number: the calculation fails saying where.
    says 1 "free direction" "計算結果に数値でない値があります" calc "$data/free_direction.json" -o "$work/free.quav"
    contains "$work/stderr" "静荷重 weight(id 8): 変位が数値ではありません"
    "$cli" calc "$data/free_direction.json" -o "$work/free.quav" --only eigen >/dev/null ||
        fail "a free direction's modes"
    # An unset sweep is left out, and said so; an unknown load type is named.
    jq '.frequencyStart = 0 | .frequencyEnd = 0 | .staticLoads[1].type = 7' \
        "$examples/power_unit.json" >"$work/unset.json"
    says 0 "unset sweep" "周波数ｽﾃｯﾌﾟ解析は行いませんでした" calc "$work/unset.json" -o "$work/unset.quav"
    contains "$work/stderr" "静荷重 roll torque(id 9): 荷重の種類(7)"
    "$cli" dump "$work/unset.quav" | jq -e '.results.calculated == 1 and
        .results.frequencyStepResults == null and (.results.dynamicResults | length == 2)' \
        >/dev/null || fail "unset sweep results"
    ;;
ked)
    # JSON shapes as documented and bad options (a refused model: see trust).
    exits 0 "ked" ked "$example" --json
    jq -e '(keys_unsorted == ["frame", "modes"]) and .frame == "global" and (.modes | length == 6)
        and all(.modes[]; keys_unsorted == ["mode", "frequency", "energy", "dominant", "decoupling"]
                and (.energy | length == 6))
        and ([.modes[].mode] == [1, 2, 3, 4, 5, 6])' "$work/stdout" >/dev/null ||
        fail "ked JSON shape"
    exits 2 "unknown frame" ked "$example" --frame upside
    ;;
tra)
    exits 0 "tra" tra "$example" --json
    jq -e '(keys_unsorted == ["axis", "tra", "traToAxisDeg", "modes"]) and .axis == [1, 0, 0]
        and (.tra | length == 3) and (.modes | length == 6)
        and all(.modes[]; keys_unsorted == ["mode", "frequency", "angleDeg", "rollEnergy"])' \
        "$work/stdout" >/dev/null || fail "tra JSON shape"
    "$cli" tra "$example" --axis 0,0,2 --json | jq -e '.axis == [0, 0, 1]' >/dev/null ||
        fail "--axis ax,ay,az"
    for bad in 0,0,0 1,2 w; do
        exits 2 "--axis $bad" tra "$example" --axis "$bad"
    done
    # The model's own zero torque direction is the load's fault, not --axis's.
    jq '.staticLoads[1].direction = [0, 0, 0]' "$examples/power_unit.json" >"$work/zero.json"
    says 2 "zero default torque" "静荷重 roll torque(id 9): ﾓｰﾒﾝﾄ荷重の方向ﾍﾞｸﾄﾙが0" tra "$work/zero.json"
    # Angles in degrees of pi: a pure yaw axis and a layout symmetric in both planes.
    jq '.inertia = [[8,0,0],[0,12,0],[0,0,10]] | .springs[].angles = [0, 0, 0]
        | .springs[0].position = [0.3, 0.2, 0] | .springs[1].position = [0.3, -0.2, 0]
        | .springs[2].position = [-0.3, 0.2, 0] | .springs[3].position = [-0.3, -0.2, 0]
        | .centreOfGravity = [0, 0, 0]' "$examples/power_unit.json" >"$work/square.json"
    "$cli" tra "$work/square.json" --axis z --json | jq -e 'all(.modes[].angleDeg; . == 0 or . == 90)
        and ([.modes[].angleDeg | select(. == 90)] | length == 3)' >/dev/null ||
        fail "right angles print as 90"
    ;;
forces)
    exits 0 "forces" forces "$example" --json
    jq -e '(keys_unsorted == ["static", "dynamic"]) and (.static | length == 2)
        and (.dynamic | length == 2) and ([.dynamic[].frequency] == [25, 12.5])
        and all(.static[]; keys_unsorted == ["load", "springs"] and (.springs | length == 4)
                and all(.springs[]; keys_unsorted == ["id", "local", "global"]))
        and all(.dynamic[]; keys_unsorted == ["load", "frequency", "springs"]
                and all(.springs[]; keys_unsorted == ["id", "amplitude", "phase", "globalAmplitude",
                                                      "globalPhase", "total"]
                        and ((.total - ([.globalAmplitude[] | . * .] | add | sqrt)) | fabs)
                            < 1e-9 * .total))
        and ([.static[0].springs[].global[2]] | add | . + 1814.85 | fabs < 0.01)' \
        "$work/stdout" >/dev/null || fail "forces JSON shape or the weight's balance"
    "$cli" forces "$example" --frequency 40 --json | jq -e '[.dynamic[].frequency] == [40, 40]' \
        >/dev/null || fail "--frequency"
    exits 2 "--frequency 0" forces "$example" --frequency 0
    ;;
transmissibility)
    "$cli" transmissibility "$example" --load 1 --json | jq -e '.load == 1
        and (.steps | length == 199) and (.steps[-1].frequency == 100)' >/dev/null ||
        fail "transmissibility JSON"
    says 2 "torque load" "moment" transmissibility "$example" --load 2
    exits 2 "load out of range" transmissibility "$example" --load 3
    jq '.frequencyEnd = 0' "$examples/power_unit.json" >"$work/norange.json"
    says 1 "bad sweep" "周波数設定が不正です" transmissibility "$work/norange.json" --load 1
    # One load's curve is not bounded by all loads' file size; the step limit holds.
    jq '.dynamicLoads += [range(3000) | {"type": 0, "value": 1, "direction": [0, 0, 1]}]
        | .frequencyStart = 1 | .frequencyEnd = 50000 | .frequencyStep = 1' \
        "$examples/power_unit.json" >"$work/loads.json"
    exits 0 "one of 3,000 loads over 50,000 steps" transmissibility "$work/loads.json" --load 1
    jq '.frequencyEnd = 200000' "$work/loads.json" >"$work/steps.json"
    exits 1 "too many steps" transmissibility "$work/steps.json" --load 1
    contains "$work/stderr" "周波数ステップ数が多すぎます(200000、上限 100000)"
    ;;
robust)
    exits 0 "robust" robust "$example" --tolerance 10 --position-tolerance 0.005 --samples 3000 \
        --seed 7 --json
    jq -e '(keys_unsorted == ["vary", "samples", "requested", "completed", "modes", "windowShare"])
        and .vary == "spring"
        and .samples == 3000 and .requested == 3000 and .completed
        and (.windowShare | type == "number") and (.modes | length == 6)
        and all(.modes[]; keys_unsorted == ["mode", "frequency", "decoupling"]
                and (.frequency | keys_unsorted == ["nominal", "min", "max", "mean", "std"])
                and .frequency.min <= .frequency.nominal and .frequency.nominal <= .frequency.max)' \
        "$work/stdout" >/dev/null || fail "robust JSON shape"
    # (--vary characteristic and --distribution normal: the golden robust.txt.)
    for bad in "--tolerance -1" "--tolerance 5 --samples 0" "--tolerance 5 --distribution flat" \
        "--tolerance 5 --position-tolerance -0.1" "--tolerance 5 --samples 1000000000001"; do
        exits 2 "robust $bad" robust "$example" $bad
    done
    ;;
sens)
    # JSON shapes, parameters in the model's order (the values: SensitivityTest).
    exits 0 "sens" sens "$example" --json
    [ ! -s "$work/stderr" ] || fail "sens wrote to stderr: $(cat "$work/stderr")"
    jq -e '(keys_unsorted == ["parameters", "frequency", "decoupling", "static", "spread"])
        and .spread == null and (.parameters | length == 26)
        and .parameters[0] == {"kind": "rate", "characteristic": 6, "direction": "x",
                               "value": 272500}
        and .parameters[6] == {"kind": "position", "spring": 2, "axis": "x", "value": 0.36}
        and .parameters[10] == {"kind": "angle", "spring": 2, "angle": "thetaZ", "value": 0}
        and (.frequency | keys_unsorted == ["value", "derivative", "elasticity"])
        and (.decoupling | keys_unsorted == ["value", "dominant", "derivative", "elasticity"])
        and (.decoupling.dominant | length == 6)
        and all(.frequency, .decoupling; (.derivative | length == 26)
                and all(.derivative[], .elasticity[]; length == 6))
        and (.static | length == 2) and ([.static[].load] == [1, 2])
        and all(.static[]; keys_unsorted == ["load", "value", "derivative", "elasticity"]
                and (.derivative | length == 26))' \
        "$work/stdout" >/dev/null || fail "sens JSON"
    # The table: heading, values, dominant DOFs, derivative and elasticity rows.
    "$cli" sens "$example" >"$work/sens.tsv" || fail "sens table"
    [ "$(head -1 "$work/sens.tsv" | cut -f1-7)" = "$(printf 'quantity\tkind\tid\tname\tcomponent\tvalue\tf1[Hz]')" ] ||
        fail "table heading: $(head -1 "$work/sens.tsv" | cut -f1-7)"
    [ "$(wc -l <"$work/sens.tsv")" -eq $((3 + 2 * 26)) ] || fail "table rows"
    [ "$(awk -F'\t' '{ print NF }' "$work/sens.tsv" | sort -u)" = 30 ] || fail "table columns"
    grep -q "^derivative	angle	2	front right	thetaY	-110	" "$work/sens.tsv" ||
        fail "angle row"
    # Narrowed, with the spread; the spread takes every rate and coordinate.
    "$cli" sens "$example" --params angles --springs 3 --tolerance 1 --json >"$work/n.json" ||
        fail "narrowed"
    "$cli" sens "$example" --tolerance 1 --json >"$work/all.json" || fail "spread"
    jq -e --slurpfile all "$work/all.json" '(.parameters | length == 2)
        and ([.parameters[].spring] == [3, 3]) and (.spread.frequencyStd | length == 6)
        and .spread == $all[0].spread and .frequency.derivative[0] == $all[0].frequency.derivative[14]' \
        "$work/n.json" >/dev/null || fail "narrowed JSON"
    "$cli" sens "$example" --tolerance 1 | grep -q "^std	" || fail "spread row"
    for bad in "--params rates,springs" "--springs 99" "--characteristics 2" "--tolerance -1" \
        "--tolerance 100" "--position-tolerance -0.1" "--springs 2 --params rates" "--springs x"; do
        exits 2 "sens $bad" sens "$example" $bad
        [ ! -s "$work/stdout" ] || fail "sens $bad: output"
    done
    # Three translations of one frequency: null entries, stderr says why.
    jq '.inertia = [[8, 0, 0], [0, 12, 0], [0, 0, 10]]
        | .springs |= [range(4) as $i | .[$i] | .angles = [0, 0, 0]
                       | .characteristicId = 6
                       | .position = [0.02 + (if $i < 2 then 0.3 else -0.3 end),
                                      0.01 + (if $i % 2 == 0 then -0.3 else 0.3 end), 0.18]]
        | .springCharacteristics[0].stiffness = [1e5, 1e5, 1e5]' "$examples/power_unit.json" \
        >"$work/square.json"
    says 0 "repeated" "固有振動数が一致します" sens "$work/square.json" --json
    [ "$(wc -l <"$work/stderr")" -eq 3 ] || fail "one line per pair of the three"
    jq -e '[.decoupling.dominant[] | IN("x", "y", "z")] as $t
        | ([.frequency.derivative[], .decoupling.derivative[] | map(. == null)] | unique)
          == [$t]
        and ($t | map(select(.)) | length == 3)' "$work/stdout" >/dev/null ||
        fail "nulls of the repeated modes"
    # 10,000 springs: bounded time and memory, output linear in the parameters.
    jq '.springs = [range(10000) as $i | {"id": (100 + $i), "name": "m\($i)",
            "position": [(($i % 100) / 100 - 0.5), ((($i / 100) | floor) / 100 - 0.5),
                         (0.05 * (($i % 7) - 3))],
            "angles": [0, (($i % 13) * 10 - 60), (($i % 11) * 15)], "size": 0.01,
            "selected": 0, "characteristicId": (6 + $i % 2)}] | .lastId = 20000' \
        "$examples/power_unit.json" >"$work/big.json"
    (ulimit -v 1000000 && exec timeout 100 "$cli" sens "$work/big.json") >"$work/big.tsv" \
        2>"$work/stderr"
    expect_code 0 $? "10,000 springs"
    [ "$(wc -l <"$work/big.tsv")" -eq $((3 + 2 * 50006)) ] || fail "10,000 springs: rows"
    ;;
table)
    # Frequency tables: set by quav-cli table, used by every analysis, kept in files.
    table="$examples/rubber_mount.csv"
    exits 0 "an example without tables" table "$example" --characteristic 6
    [ "$(cat "$work/stdout")" = "f,ratio_x,ratio_y,ratio_z,loss_x,loss_y,loss_z" ] ||
        fail "a characteristic without a table prints the heading alone"
    contains "$work/stderr" "has no frequency table"
    exits 0 "set front" table "$example" --characteristic 6 --csv "$table" -o "$work/t.quav"
    exits 0 "set rear" table "$work/t.quav" --characteristic 7 --csv "$table" -o "$work/t.quav"
    # Printed back as CSV, set again: the same file.
    "$cli" table "$work/t.quav" --characteristic 7 >"$work/back.csv" || fail "print the table"
    [ "$(wc -l <"$work/back.csv")" -eq 13 ] || fail "12 rows and the heading"
    exits 0 "set again" table "$work/t.quav" --characteristic 7 --csv "$work/back.csv" \
        -o "$work/again.quav"
    cmp -s "$work/t.quav" "$work/again.quav" || fail "a printed table sets the same table"
    # Every analysis takes the tables.
    exits 0 "calc" calc "$work/t.quav" -o "$work/c.quav"
    "$cli" calc "$example" -o "$work/plain.quav" >/dev/null || fail "calc the example"
    "$cli" report "$work/c.quav" >"$work/report.txt"
    [ "$(grep -c "自身の周波数で決定" "$work/report.txt")" -eq 6 ] || fail "six modes at their own frequency"
    "$cli" listing "$work/c.quav" >"$work/listing.txt"
    [ "$(grep -c "^		200	1.85	1.55	1.55	0.16	0.13	0.13" "$work/listing.txt")" -eq 2 ] ||
        fail "the listing prints both tables"
    for cmd in "sweep --load 1 --dof z" "transmissibility --load 1" "forces --json" "ked --json" \
        "tra --json" "sens"; do
        "$cli" $cmd "$work/c.quav" >"$work/with.out" || fail "$cmd with tables"
        "$cli" $cmd "$work/plain.quav" >"$work/without.out" || fail "$cmd without tables"
        ! cmp -s "$work/with.out" "$work/without.out" || fail "$cmd does not see the tables"
    done
    # .quav -> JSON -> .quav is identical (the tables' layout in either: ModelFileTest,
    # ModelJsonTest).
    "$cli" convert "$work/c.quav" "$work/c.json" || fail "to json"
    "$cli" convert "$work/c.json" "$work/c2.quav" || fail "to quav"
    cmp -s "$work/c.quav" "$work/c2.quav" || fail ".quav -> JSON -> .quav changed bytes"
    # Refusals: a bad CSV names line and column, nothing is written.
    sed '4s/,1.10,/,-1.10,/' "$table" >"$work/bad.csv"
    exits 2 "a bad table" table "$example" --characteristic 6 --csv "$work/bad.csv" \
        -o "$work/bad.quav"
    contains "$work/stderr" "4 行目、列 ratio_y: 0 より大きい値が必要です"
    [ ! -e "$work/bad.quav" ] || fail "a refused table wrote a file"
    exits 2 "no such characteristic" table "$example" --characteristic 99 --csv "$table" \
        -o "$work/bad.quav"
    exits 2 "--csv without -o" table "$example" --characteristic 6 --csv "$table"
    # A damaged extension block refuses the whole file.
    head -c -1 "$work/c.quav" >"$work/cut.quav"
    says 2 "a cut extension block" "ファイルが壊れています" report "$work/cut.quav"
    # Removing the tables gives the example back, byte for byte.
    "$cli" table "$work/t.quav" --characteristic 6 --clear -o "$work/u.quav" || fail "clear"
    "$cli" table "$work/u.quav" --characteristic 7 --clear -o "$work/u.quav" || fail "clear"
    cmp -s "$work/u.quav" "$example" || fail "without tables the file is the example's"
    ;;
cases)
    cases="$examples/power_unit_cases.quav"
    exits 0 "cases" cases "$cases"
    [ "$(sed -n '/^ケース	判定/,/^\r$/p' "$work/stdout" | grep -c $'\t')" -eq 21 ] ||
        fail "a summary row per case"
    contains "$work/stdout" $'WOT 1st\t不合格\t'
    exits 0 "cases --json" cases "$cases" --json
    # (Equilibrium and verdicts: LoadCaseAnalysisTest.)
    jq -e '(.cases | length == 20) and all(.cases[]; keys_unsorted == ["name", "converged",
            "iterations", "displacement", "pass", "springs"]
            and all(.springs[]; keys_unsorted == ["id", "deflection", "local", "global",
                "travelMargin", "loadMargin", "pass"]))
        and ([.cases[] | select(.pass | not) | .name] | index("WOT 1st") != null)' \
        "$work/stdout" >/dev/null || fail "cases JSON shape or verdicts"
    "$cli" cases "$cases" --case "3g bump" --case 1g --modes --json | jq -e '
        [.cases[].name] == ["1g", "3g bump"] and all(.cases[]; .modes | length == 6)
        and ([.cases[].modes[0].frequency] | .[1] > .[0])' >/dev/null ||
        fail "--case in the model's order, --modes stiffer in the snubbers"
    # Without curves or ratings the margins are null.
    jq '.loadCases = [{"name": "1g", "gLoad": [0, 0, -1]}]' "$examples/power_unit.json" \
        >"$work/linear.json"
    "$cli" cases "$work/linear.json" --json | jq -e '.cases[0].springs[0] | .travelMargin
        == [null, null, null] and .loadMargin == [null, null, null] and .pass' >/dev/null ||
        fail "null margins"
    # A case whose load was deleted fails with its reason; the others still print.
    jq '.loadCases = [{"name": "gone", "terms": [{"load": 99}]}, {"name": "1g",
        "gLoad": [0, 0, -1]}]' "$examples/power_unit.json" >"$work/gone.json"
    exits 1 "an unsolvable case" cases "$work/gone.json" --json
    jq -e '.cases[0].converged == false and (.cases[0].reason | contains("id 99"))
        and .cases[1].converged' "$work/stdout" >/dev/null || fail "the failed case's reason"
    contains "$work/stderr" "gone"
    # The input listing prints the curves, ratings and cases.
    exits 0 "listing" listing "$cases"
    contains "$work/stdout" $'\t定格荷重\t3000\t1500\t1500\t[N]'
    contains "$work/stdout" $'\t非線形特性 z\t[m]\t[N]'
    contains "$work/stdout" $'荷重ケース\t名前\t1g'
    contains "$work/stdout" $'\t静荷重\troll torque\t12.1'
    # CSV: a header, then a row per spring per case, CR LF (the layout: CsvTablesTest).
    exits 0 "cases --format csv" cases "$cases" --format csv
    [ "$(grep -c $'\r$' "$work/stdout")" -eq 81 ] || fail "a CSV row per spring per case"
    grep -q '^WOT 1st,1,[0-9]*,.*,0'$'\r$' "$work/stdout" || fail "a failing spring in WOT 1st"
    exits 2 "--json with --format" cases "$cases" --json --format csv
    # Every-case-passes is refused without cases (its log: OptimizerRunTest).
    jq '.optimizer.conditions.loadCasesPass = 1' "$examples/power_unit.json" >"$work/nocase.json"
    says 2 "the case condition without cases" "モデルに荷重ケースがありません" optimize \
        "$work/nocase.json" --out "$work/nc"
    exits 2 "an unknown case" cases "$cases" --case nope
    exits 2 "a model without cases" cases "$example"
    ;;
exchange)
    # A deck and back (the model that comes back: BulkDataTest).
    exits 0 "export" export "$example" --format nastran -o "$work/m.bdf"
    says 0 "import" "warning: DAREA: 2 entries ignored" import "$work/m.bdf" -o "$work/back.json"
    "$cli" calc "$example" -o "$work/a.json" --only eigen >/dev/null || fail "calc the example"
    # An outside reader finds the same frequencies in the deck (2 pi as 6.283184).
    python3 "$(dirname "${BASH_SOURCE[0]}")/../exchange/deck_frequencies.py" "$work/m.bdf" \
        >"$work/deck.txt" || fail "the outside reader"
    jq -e --rawfile d "$work/deck.txt" '($d | split(" ") | map(tonumber)) as $deck |
        [(.results.eigenFrequencies | reverse), $deck] | transpose |
        all(((.[0] * 6.283184 / (2 * 3.141592653589793) - .[1]) | fabs) <= 1e-9 * .[1])' \
        "$work/a.json" >/dev/null || fail "the deck's frequencies read from outside"
    jq -e '.springs[2].name == "rear right" and .springs[2].angles == [0.0, -105.0, 10.0]' \
        "$work/back.json" >/dev/null || fail "names and angles from the deck's comments"
    # A tabled characteristic travels as PBUSHT with TABLED1 in log f.
    "$cli" table "$example" --characteristic 6 --csv "$examples/rubber_mount.csv" \
        -o "$work/t.quav" || fail "set a table"
    exits 0 "export tables" export "$work/t.quav" --format nastran -o "$work/t.bdf"
    contains "$work/t.bdf" "PBUSHT*"
    contains "$work/t.bdf" "LOG          LINEAR"
    # A bad card names its line; nothing is written.
    sed -E 's/^(GRID\* +2) .*/\1               0             abc/' \
        "$work/m.bdf" >"$work/bad.bdf"
    says 2 "bad deck" ": GRID 2: X1 is not a real number" import "$work/bad.bdf" -o "$work/bad.quav"
    grep -qE 'bad.bdf: line [0-9]+: ' "$work/stderr" || fail "no line number"
    [ ! -e "$work/bad.quav" ] || fail "a refused deck wrote a file"
    exits 2 "unknown format" export "$example" --format step -o "$work/x"
    # One load's frequency responses as a universal file (12 responses).
    exits 0 "uff" sweep "$example" --load 1 --format uff -o "$work/r.uff"
    # Read from outside, x response x 160 N is quav-cli sweep's curve, to 1e-8.
    python3 "$(dirname "${BASH_SOURCE[0]}")/../exchange/uff_responses.py" "$work/r.uff" \
        >"$work/uff.csv" || fail "the outside reader of the universal file"
    contains "$work/uff.csv" "responses,12"
    "$cli" calc "$example" -o "$work/c.quav" >/dev/null || fail "calc with the sweep"
    "$cli" sweep "$work/c.quav" --load 1 | tail -n +2 >"$work/curve.csv"
    [ "$(wc -l <"$work/curve.csv")" -eq 199 ] || fail "199 steps"
    tail -n +2 "$work/uff.csv" | paste -d, - "$work/curve.csv" | awk -F, '
        $1 != $3 || ($2 * 160 - $4) ^ 2 > (1e-8 * $4) ^ 2 { bad++ } END { exit bad > 0 }' ||
        fail "the universal file's response differs from the sweep"
    exits 2 "uff without -o" sweep "$example" --load 1 --format uff
    # The mount analyses' tables as CSV with a header row.
    for cmd in ked tra forces sens; do
        exits 0 "$cmd csv" $cmd "$example" --format csv
        head -n 1 "$work/stdout" | grep -q $'^[a-z_]*,[a-z_]*,.*\r$' || fail "$cmd: no CSV header"
    done
    contains "$work/stdout" "quantity,kind,id,name,component,value,f1[Hz]"
    exits 2 "--json with --format" ked "$example" --json --format csv
    ;;
*)
    fail "unknown case"
    ;;
esac
echo "ok [$case_name]"
