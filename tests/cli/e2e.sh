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

example="$examples/power_unit.quav"

# The dates of the input listing are the file's own: masked before comparing.
mask_dates() { sed -E 's/^(\t(作成日|更新日)\t).*$/\1<date>/' "$1"; }
# Compares output with its expected file in tests/data/golden byte for byte.
# QUAV_REGENERATE_GOLDEN=1 writes the expected file instead: a deliberate step,
# its diff reviewed like code.
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
    [ -s "$work/out.quav" ] || fail "no output file"
    "$cli" report "$work/out.quav" >"$work/report.txt"
    contains "$work/report.txt" "//////固有値解析結果//////"
    # A bad frequency range fails with the reason and writes nothing.
    exits 1 "bad range" calc "$example" -o "$work/bad.quav" --start 50 --end 10
    contains "$work/stdout" "ｴﾗｰ"
    [ -s "$work/stderr" ] || fail "no reason given"
    [ ! -e "$work/bad.quav" ] || fail "output written after a failure"
    # Only some analyses; -o may equal IN.
    cp "$example" "$work/same.quav"
    exits 0 "--only" calc "$work/same.quav" -o "$work/same.quav" --only eigen,static
    "$cli" dump "$work/same.quav" >"$work/same.json"
    contains "$work/same.json" '"frequencyStepResults": null'
    # An invalid model: mass 0, no springs.
    printf '{"mass": 0, "inertia": [[1,0,0],[0,1,0],[0,0,1]]}' >"$work/invalid.json"
    exits 1 "invalid model" calc "$work/invalid.json" -o "$work/invalid.quav"
    [ "$(wc -l <"$work/stderr")" -ge 2 ] || fail "expected one line per failed check"
    # A sweep whose results (steps x dynamic loads) no model file can hold is
    # refused before it starts, like a bad range.
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
    contains "$work/listing.utf8" "QUAVインプットデータ"
    contains "$work/listing.utf8" "	ファイル	c.quav"
    contains "$work/elastic.utf8" "弾性中心"
    "$cli" report "$example" >"$work/uncalc.txt"
    [ "$(cat "$work/uncalc.txt")" = "計算が実行されていません" ] || fail "uncalculated report"
    # A report grows with loads x springs: it goes out as it is made, in little
    # memory, and stops at once when stdout fails.
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
    exits 2 "bad json" convert "$work/bad.json" "$work/bad.quav"
    contains "$work/stderr" "springs[0].position"
    [ ! -e "$work/bad.quav" ] || fail "a refused JSON wrote a file"
    # A typo is refused, not read as a model without springs.
    sed 's/"springs"/"sprngs"/' "$examples/power_unit.json" >"$work/typo.json"
    exits 2 "misspelt key" convert "$work/typo.json" "$work/typo.quav"
    contains "$work/stderr" "sprngs: unknown key"
    # The sign of a NaN survives .quav -> JSON -> .quav (a free direction gives -NaN).
    "$cli" calc "$data/free_direction.json" -o "$work/free.quav" >/dev/null || fail "calc free"
    "$cli" convert "$work/free.quav" "$work/free.json" || fail "free to json"
    contains "$work/free.json" '"-NaN"'
    "$cli" convert "$work/free.json" "$work/free2.quav" || fail "free to quav"
    cmp -s "$work/free.quav" "$work/free2.quav" || fail "the sign of a NaN was lost"
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
    # Numbers that are empty, not finite or beyond a double are refused, not
    # ignored or turned into Infinity.
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
        "robust $example --tolerance 5 --samples 10"; do
        $cli $cmd >/dev/full 2>"$work/stderr"
        expect_code 2 $? "$cmd >/dev/full"
        contains "$work/stderr" "cannot write to standard output"
        $cli $cmd >&- 2>/dev/null
        expect_code 2 $? "$cmd with stdout closed"
    done
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
    if [ "$(id -u)" -eq 0 ]; then
        mknod "$work/null" c 1 3
        exits 0 "calc -o a null device" calc "$example" -o "$work/null"
        [ -c "$work/null" ] || fail "the device was replaced by a file"
    fi
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
    # Running out of memory is a message and exit 1, never an abort. A
    # sanitizer's shadow memory does not fit under a small limit: skip there.
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
    # JSON is read within the model file's limits, as it comes: a million
    # empty springs are refused at the first too many (100,000 springs take
    # 90 MB, as from a model file), ten million empty sweep tables (no dynamic
    # loads) cost no memory.
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
    for cmd in report listing elastic; do
        "$cli" $cmd "$work/power_unit.quav" >"$work/$cmd.txt" || fail "$cmd"
        golden "$work/$cmd.txt" "$cmd.txt" || fail "$cmd differs from tests/data/golden/$cmd.txt"
    done
    # The comparison sees a change in the last digit of one value.
    sed '0,/[0-9]\t/s/\([0-9]\)\t/X\t/' "$work/report.txt" >"$work/changed.txt"
    ! cmp -s "$work/changed.txt" "$work/report.txt" || fail "the changed copy is unchanged"
    [ "${QUAV_REGENERATE_GOLDEN:-0}" = 1 ] || ! golden "$work/changed.txt" report.txt ||
        fail "a changed report passed the comparison"
    ;;
optimize)
    exits 0 "optimize" optimize "$example" --out "$work/run"
    contains "$work/stderr" "計算が正常に終了しました"
    [ -s "$work/run/original.quav" ] || fail "original.quav"
    [ -s "$work/run/log.txt" ] || fail "log.txt"
    iconv -f CP932 -t UTF-8 "$work/run/log.txt" >"$work/log.utf8" || fail "log.txt is not CP932"
    contains "$work/log.utf8" "組合せ数	75"
    ls "$work/run"/No*.quav >/dev/null 2>&1 || fail "no accepted variant"
    # Files that keep failing (folders in the way) stop the run after ten: exit 1,
    # the reason on stderr and in log.txt.
    jq '.optimizer.conditions = {}' "$examples/power_unit.json" >"$work/all.json"
    mkdir -p "$work/full"/No{1..10}.quav
    "$cli" optimize "$work/all.json" --out "$work/full" 2>"$work/stderr"
    expect_code 1 $? "optimize with unwritable results"
    contains "$work/stderr" "ファイルを保存できない状態が続いたため処理が中断されました"
    iconv -f CP932 -t UTF-8 "$work/full/log.txt" >"$work/log.utf8" || fail "log.txt"
    contains "$work/log.utf8" "ファイルを保存できない状態が続いたため処理が中断されました"
    contains "$work/log.utf8" "処理件数	10"
    ;;
simd)
    # The eigen solutions side by side (AVX2, AVX-512 where the processor has them)
    # and one at a time, on one thread and two: the same folder, byte for byte, its
    # log's time stamps aside. A finer study, its conditions those only the modes
    # settle, so that most variants are solved.
    jq '.optimizer.parameters |= map(.increment /= 4) |
        .optimizer.conditions.minFrequencyEnabled = 0 |
        .optimizer.conditions.maxFrequencyEnabled = 0 |
        .optimizer.conditions.springRatioEnabled = 0 |
        .optimizer.conditions.displacementConditions = [] |
        .optimizer.conditions.meanCouplingMax = 18' \
        "$examples/power_unit.json" >"$work/study.json"
    unstamped() { iconv -f CP932 -t UTF-8 "$1" | sed 's/^\(計算[^：]*日時：\).*/\1/'; }
    for simd in scalar avx2 avx512; do
        for threads in 1 2; do
            QUAV_SIMD=$simd "$cli" optimize "$work/study.json" --out "$work/$simd$threads" \
                --threads $threads 2>/dev/null || fail "run with $simd on $threads threads"
            [ "$simd$threads" = scalar1 ] && continue
            ls "$work/$simd$threads" | cmp -s - <(ls "$work/scalar1") ||
                fail "$simd on $threads threads: other files"
            for f in "$work"/scalar1/*.quav; do
                cmp -s "$f" "$work/$simd$threads/${f##*/}" ||
                    fail "$simd on $threads threads: ${f##*/} differs"
            done
            [ "$(unstamped "$work/scalar1/log.txt")" = \
                "$(unstamped "$work/$simd$threads/log.txt")" ] ||
                fail "$simd on $threads threads: log.txt differs"
        done
    done
    ls "$work"/scalar1/No*.quav >/dev/null 2>&1 || fail "no accepted variant"
    ;;
shards)
    # Three shards, one on two threads, merged in any order: the folder of the whole
    # run, its log's time stamps aside.
    "$cli" optimize "$example" --out "$work/whole" 2>/dev/null || fail "whole run"
    for k in 1 2 3; do
        "$cli" optimize "$example" --out "$work/s$k" --shard $k/3 --threads $((k % 2 + 1)) \
            2>/dev/null || fail "shard $k"
    done
    exits 0 "merge" merge "$work/s3" "$work/s1" "$work/s2" --out "$work/merged"
    contains "$work/stdout" "3 shards merged"
    ls "$work/whole" >"$work/whole.ls"
    ls "$work/merged" | cmp -s - "$work/whole.ls" || fail "merged files differ from the run's"
    for f in "$work"/whole/*.quav; do
        cmp -s "$f" "$work/merged/${f##*/}" || fail "${f##*/} differs"
    done
    unstamped() { iconv -f CP932 -t UTF-8 "$1" | sed 's/^\(計算[^：]*日時：\).*/\1/'; }
    [ "$(unstamped "$work/whole/log.txt")" = "$(unstamped "$work/merged/log.txt")" ] ||
        fail "merged log.txt differs from the run's"
    # Refused with exit 2, nothing written: a shard missing, given twice, stopped
    # (the combinations it left are listed), of another model.
    refused() { # expected-message shard-dirs...
        local message=$1
        shift
        exits 2 "merge of $*" merge "$@" --out "$work/refused"
        contains "$work/stderr" "$message"
        [ ! -e "$work/refused" ] || fail "a refused merge wrote files"
    }
    refused "shard 2/3, combinations 26 to 50: no folder given" "$work/s1" "$work/s3"
    cp -r "$work/s2" "$work/s2again"
    refused "shard 2/3 given twice" "$work/s1" "$work/s2" "$work/s2again" "$work/s3"
    sed -i 's/^status .*/status stopped/; s/^processed .*/processed 10/' "$work/s2again/shard.txt"
    refused "shard 2/3, combinations 36 to 50: stopped after 10 of 25" \
        "$work/s1" "$work/s2again" "$work/s3"
    sed 's/"mass": 185/"mass": 186/' "$examples/power_unit.json" >"$work/other.json"
    "$cli" optimize "$work/other.json" --out "$work/other" --shard 2/3 2>/dev/null
    refused "another study" "$work/s1" "$work/other" "$work/s3"
    ;;
interrupt)
    # A long run stopped by Ctrl-C, a closed terminal (SIGHUP) or Ctrl-C after
    # its stderr pipe has closed ends with status 2 and complete files; while it
    # runs, a second run into its folder is refused and writes nothing.
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
        iconv -f CP932 -t UTF-8 "$work/run/log.txt" >"$work/log.utf8" || fail "log.txt ($how)"
        contains "$work/log.utf8" "処理が中断されました"
        contains "$work/log.utf8" "処理件数"
        "$cli" dump "$work/run/No1.quav" >/dev/null || fail "No1.quav is not a complete model"
    done
    ;;
ked)
    # JSON shapes as documented; a refused model and bad options.
    exits 0 "ked" ked "$example" --json
    jq -e '(keys_unsorted == ["frame", "modes"]) and .frame == "global" and (.modes | length == 6)
        and all(.modes[]; keys_unsorted == ["mode", "frequency", "energy", "dominant", "decoupling"]
                and (.energy | length == 6))
        and ([.modes[].mode] == [1, 2, 3, 4, 5, 6])' "$work/stdout" >/dev/null ||
        fail "ked JSON shape"
    "$cli" ked "$example" --frame principal --json | jq -e '.frame == "principal"' >/dev/null ||
        fail "principal frame"
    "$cli" ked "$example" >"$work/ked.txt"
    contains "$work/ked.txt" "デカップリング率[%]"
    exits 2 "unknown frame" ked "$example" --frame upside
    printf '{"mass": 0, "inertia": [[1,0,0],[0,1,0],[0,0,1]]}' >"$work/invalid.json"
    exits 1 "invalid model" ked "$work/invalid.json"
    "$cli" calc "$work/invalid.json" -o "$work/x.quav" >/dev/null 2>"$work/calc.stderr"
    cmp -s "$work/stderr" "$work/calc.stderr" || fail "not the reasons calc gives"
    jq '.inertia = [[1,1,0],[1,1,0],[0,0,1]]' "$examples/power_unit.json" >"$work/singular.json"
    exits 1 "singular inertia" ked "$work/singular.json" --json
    contains "$work/stderr" "慣性テンソルが特異です"
    [ ! -s "$work/stdout" ] || fail "output for a singular inertia"
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
    "$cli" tra "$example" >"$work/tra.txt"
    contains "$work/tra.txt" "トルクロール軸"
    ;;
forces)
    exits 0 "forces" forces "$example" --json
    jq -e '(keys_unsorted == ["static", "dynamic"]) and (.static | length == 2)
        and (.dynamic | length == 2) and ([.dynamic[].frequency] == [25, 12.5])
        and all(.static[]; keys_unsorted == ["load", "springs"] and (.springs | length == 4)
                and all(.springs[]; keys_unsorted == ["id", "local", "global"]))
        and all(.dynamic[]; keys_unsorted == ["load", "frequency", "springs"]
                and all(.springs[]; keys_unsorted == ["id", "amplitude", "phase"]))
        and ([.static[0].springs[].global[2]] | add | . + 1814.85 | fabs < 0.01)' \
        "$work/stdout" >/dev/null || fail "forces JSON shape or the weight's balance"
    "$cli" forces "$example" --frequency 40 --json | jq -e '[.dynamic[].frequency] == [40, 40]' \
        >/dev/null || fail "--frequency"
    exits 2 "--frequency 0" forces "$example" --frequency 0
    ;;
transmissibility)
    exits 0 "transmissibility" transmissibility "$example" --load 1
    [ "$(head -1 "$work/stdout")" = "frequency,transmissibility,isolation_percent" ] ||
        fail "CSV header"
    [ "$(wc -l <"$work/stdout")" -eq 200 ] || fail "expected 199 sweep steps"
    "$cli" transmissibility "$example" --load 1 --json | jq -e '.load == 1
        and (.steps | length == 199) and (.steps[-1].frequency == 100)' >/dev/null ||
        fail "transmissibility JSON"
    exits 2 "torque load" transmissibility "$example" --load 2
    contains "$work/stderr" "moment"
    exits 2 "load out of range" transmissibility "$example" --load 3
    jq '.frequencyEnd = 0' "$examples/power_unit.json" >"$work/norange.json"
    exits 1 "bad sweep" transmissibility "$work/norange.json" --load 1
    contains "$work/stderr" "周波数設定が不正です"
    ;;
robust)
    exits 0 "robust" robust "$example" --tolerance 10 --position-tolerance 0.005 --samples 3000 \
        --seed 7 --json
    jq -e '(keys_unsorted == ["samples", "requested", "completed", "modes", "windowShare"])
        and .samples == 3000 and .requested == 3000 and .completed
        and (.windowShare | type == "number") and (.modes | length == 6)
        and all(.modes[]; keys_unsorted == ["mode", "frequency", "decoupling"]
                and (.frequency | keys_unsorted == ["nominal", "min", "max", "mean", "std"])
                and .frequency.min <= .frequency.nominal and .frequency.nominal <= .frequency.max)' \
        "$work/stdout" >/dev/null || fail "robust JSON shape"
    "$cli" robust "$example" --tolerance 5 --distribution normal >"$work/r.txt"
    contains "$work/r.txt" "正規分布"
    for bad in "--tolerance -1" "--tolerance 5 --samples 0" "--tolerance 5 --distribution flat" \
        "--tolerance 5 --position-tolerance -0.1" "--tolerance 5 --samples 1000000000001"; do
        exits 2 "robust $bad" robust "$example" $bad
    done
    # Ctrl-C: the samples done, "completed": false, exit 2.
    "$cli" robust "$example" --tolerance 5 --samples 100000000 --json >"$work/stop.json" \
        2>"$work/stderr" &
    pid=$!
    for _ in $(seq 1 600); do
        grep -qs progress "$work/stderr" && break
        sleep 0.1
    done
    kill -INT $pid
    wait $pid
    expect_code 2 $? "interrupted robust"
    jq -e '.completed == false and .samples > 0 and .samples < .requested' "$work/stop.json" \
        >/dev/null || fail "stopped run's report"
    ;;
*)
    fail "unknown case"
    ;;
esac
echo "ok [$case_name]"
