#!/usr/bin/env bash
# Walks QUAV as a user would, on an X server of its own, driven from outside
# with xdotool: builds a model from the operation tree (mass element, two
# springs bound to each of two characteristics, a static and a dynamic load, an
# observation point; four springs, since two alone would leave the body free
# to turn about the line through them), moves to 計算実行 with the arrow keys
# (no dialog opens on the way) and calculates with Enter, reads the reports,
# writes the memo, saves, opens the file again and compares it with the same
# model made by quav-cli. On the way it shows the contribution graph (copied to
# the clipboard) and the frequency-step window of a picked spring (two curves,
# enlarged, both axes logarithmic with the natural and load frequencies marked,
# saved as CSV through Qt's Japanese file dialog); selects a spring in the model
# browser (F6 reaches it), deletes it (the results stay, marked stale), and
# brings it back with Ctrl+Z. A second session on a copy sets up and runs an
# optimiser study in its dialogs, opens a result file and compares the run's
# files with quav-cli optimize's.
# Then the 3-D view on the example: z up as its weight says, fitted; the modes
# move, a spring picked by a click inside its box in a static result prints its
# block, the DXF outline replaces the box, the transmissibility and
# sensitivity windows open, Ctrl+C copies the view. Last, the example with load
# cases: their table, the worst case's deflected body in the view, the
# objectives and the case dialogs.
# Leaves a screenshot of the main window and of every dialog on the way in
# DIR (default: $TMPDIR/quav-tour), to look at.
#
#   scripts/tour.sh [DIR]
#
# QUAV_TOUR_NO_BUILD=1 uses the binaries already built in QUAV_BUILD_DIR
# (default build/), as CTest does.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

out="${1:-${TMPDIR:-/tmp}/quav-tour}"
mkdir -p "$out"
out=$(cd "$out" && pwd)
rm -f "$out"/*.png "$out"/*.txt "$out"/tour.quav "$out"/*.json "$out"/*.csv

if [ -z "${QUAV_TOUR_NO_BUILD:-}" ]; then
    ./scripts/bootstrap.sh
    cmake --preset dev >/dev/null
    cmake --build --preset dev --target quav quav-cli
fi
build="${QUAV_BUILD_DIR:-$root/build}"
quav="$build/src/app/quav"
cli="$build/src/quav-cli"

# --------------------------------------------------------------- X server --
work=$(mktemp -d)
pids=()
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

# The server picks a free display itself and writes its number when ready.
Xvfb -displayfd 3 -screen 0 1024x800x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "tour: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -1 "$work/display")"
# The program runs on that server whatever platform the caller's environment
# chose (the test suites set offscreen, which shows no window).
export QT_QPA_PLATFORM=xcb
# A window manager draws the captions the user reads. Its settings are the
# defaults: an empty but well-formed file, since anything else (/dev/null) makes
# it show a syntax-error box over the windows.
if command -v openbox >/dev/null; then
    cat >"$work/openbox.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc"/>
XML
    openbox --config-file "$work/openbox.xml" >"$work/openbox.log" 2>&1 &
    pids+=($!)
    sleep 0.5
fi

# A settings folder of its own: no recent files from elsewhere.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

# ---------------------------------------------------------------- helpers --
shots=0
fail() {
    echo "tour: $*" >&2
    import -window root "$out/failure.png" 2>/dev/null || true
    cp "$work/quav.log" "$out/quav.log" 2>/dev/null || true
    exit 1
}
shot() { # name: the screen as the user sees it now, and the active window alone
    sleep 0.4
    shots=$((shots + 1))
    local name
    name="$out/$(printf %02d "$shots")-$1"
    import -window root "$name.png"
    import -frame -window "$(xdotool getactivewindow)" "$name-window.png" 2>/dev/null || true
}
window() { # caption: waits for that top-level window and focuses it
    # Searching while other windows close can fail on a vanished window: retry.
    local id=""
    for _ in $(seq 50); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -1) || true
        [ -n "$id" ] && xdotool windowactivate --sync "$id" 2>/dev/null && break
        id=""
        sleep 0.2
    done
    [ -n "$id" ] || fail "no window \"$1\""
    sleep 0.2
}
gone() { # caption: waits until no such window is shown
    for _ in $(seq 50); do
        xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    fail "window \"$1\" stayed open"
}
type_text() { # text, as keystrokes (also text starting with "-")
    # Characters off the keyboard map would go through remapped keys, which
    # drop keystrokes when the program reads the map late: paste those.
    if LC_ALL=C grep -q '[^ -~]' <<<"$1"; then
        printf "%s" "$1" | xclip -selection clipboard 2>/dev/null
        xdotool key ctrl+v
    else
        printf '%s' "$1" | xdotool type --delay 15 --file -
    fi
}
fill() { # values for the focused field and the ones after it, Tab between
    local first=1
    for v in "$@"; do
        [ $first = 1 ] || xdotool key Tab
        first=0
        xdotool key ctrl+a
        [ -z "$v" ] || type_text "$v"
    done
}
dialog() { # caption, then the values: fills the dialog and shoots it, OK with Enter
    local caption=$1
    shift
    window "$caption"
    fill "$@"
    shot "$(echo "$caption" | tr -d '/ ')"
    xdotool key Return
    gone "$caption"
}
message() { # expected text fragment: shoots the message box and closes it
    window QUAV
    shot "message"
    xdotool key Return
    gone QUAV
}

# The operation tree: rows are found from the highlight of the selected root,
# counting visible rows from it. A click runs a row and opens its branch;
# branches stay open until the tour closes them (Left on the current row).
row_height=0
row_top=0
row_x=0
tree_x=0
measure_tree() {
    import -window root "$work/tree.png"
    local g
    g=$(convert "$work/tree.png" -fill black +opaque "#308cc6" -fill white -opaque "#308cc6" \
        -format "%@" info:)
    # WxH+X+Y of the highlighted root row
    local w=${g%%x*} rest=${g#*x}
    local h=${rest%%+*}
    rest=${rest#*+}
    local x=${rest%%+*} y=${rest#*+}
    [ "$h" -gt 8 ] || fail "operation tree not found"
    row_height=$h
    row_top=$y
    row_x=$((x + w - 30))
    tree_x=$x
}
# Where the 3-D view draws each spring: the white pixels that appeared left
# of the tree when it was added (springs without a characteristic are white
# boxes). The first of them in reading order lies on the box's top edge.
view_before() {
    sleep 0.5
    import -window root "$work/before.png"
}
spring_points=()
mark_spring() {
    sleep 0.5 # the view redraws once the dialog has gone
    import -window root "$work/after.png"
    local point
    point=$(convert "$work/after.png" "$work/before.png" -compose difference -composite \
        -threshold 0 \( "$work/after.png" -fill black +opaque "#ffffff" \) \
        -compose multiply -composite -crop "$((tree_x - 10))x100000+0+0" txt:- |
        awk -F'[,:]' '!found && /#FFFFFF/ { print $1, $2; found = 1 }') || true
    [ -n "$point" ] || fail "the new spring is not drawn"
    spring_points+=("$point")
    cp "$work/after.png" "$work/before.png"
}
pick_springs() { # spring numbers, 1 = the first made: toggles their selection
    local k x y
    for k in "$@"; do
        read -r x y <<<"${spring_points[k - 1]}"
        xdotool mousemove "$x" "$y" click 1
        sleep 0.3
    done
}
row() { # visible row number, 0 = "QUAV操作ﾒﾆｭｰ"
    xdotool mousemove "$row_x" $((row_top + $1 * row_height + row_height / 2)) click 1
    sleep 0.3
}

changes() { # picture, pixels: waits (5 s at most) until the screen differs from
    # the picture in more than that many pixels; a loaded machine paints late
    for _ in $(seq 25); do
        sleep 0.2
        import -window root "$work/now.png"
        [ "$(compare -metric AE "$1" "$work/now.png" null: 2>&1 || true)" -gt "$2" ] && return 0
    done
    return 1
}
# ------------------------------------------------------------------- walk --
"$quav" >"$work/quav.log" 2>&1 &
pids+=($!)
window "無題 - QUAV"
measure_tree
shot main-start
# The model is built with y up (表示 → 上方向 → y 軸), so that the springs stay
# where they were first drawn when the weight along -z comes in.
xdotool key alt+v u y

# Rows with "ﾓﾃﾞﾙ作成" open: 1 ﾓﾃﾞﾙ作成, 2 質量要素, 3 ばね要素, 4 ばね特性,
# then (with ばね特性 open) 5 決定, 6 静荷重, 7 動荷重, 8 観測点, 9 ﾓﾃﾞﾙ編集,
# 10 計算実行, 11 結果表示.
row 1
row 2
dialog 質量要素設定 185 0.02 0.01 0.18 0.7 0.6 0.55 8.2 12.6 10.4 0.45 -0.3 1.1
view_before
row 3
dialog ばね設定 "front right" 0.36 -0.25 0.05 -110 0 0.06
mark_spring
row 3
dialog ばね設定 "front left" 0.36 0.25 0.05 -70 0 0.06
mark_spring
row 3
dialog ばね設定 "rear right" -0.4 -0.25 -0.02 -105 10 0.06
mark_spring
row 3
dialog ばね設定 "rear left" -0.4 0.25 -0.02 -75 -10 0.06
mark_spring
# "ばね特性" picks springs in the 3-D view: the front pair first.
row 4
pick_springs 1 2
shot pick-springs
row 5
dialog ばね特性設定 "front mount" 272500 320 54500 110 54500 110 1.3
row 4
pick_springs 3 4
row 5
dialog ばね特性設定 "rear mount" 218000 260 43600 90 43600 90 1.4
# The static load at the centre of gravity: the "重心荷重" button fills value and position.
row 6
window 荷重設定
fill weight 0 0 -1
xdotool key Tab Tab Tab Tab Tab Tab space
shot 荷重設定
xdotool key Return
gone 荷重設定
row 7
dialog 動的荷重設定 unbalance 0 0 1 0.05 0 0.25 160 "" 25
row 8
dialog 観測点の設定 radiator 0.62 0 0.32
shot main-model
# Back on "ﾓﾃﾞﾙ作成", Left closes it: 1 ﾓﾃﾞﾙ作成, 2 ﾓﾃﾞﾙ編集, 3 計算実行, 4 結果表示.
xdotool key Left

# The arrow keys only move: down to "計算実行" no dialog opens; Enter runs it.
# The sweep from 1 to 30 Hz in 0.5 Hz steps.
xdotool key Down Down
sleep 0.5
xdotool search --onlyvisible --name "^計算条件設定\$" >/dev/null 2>&1 &&
    fail "an arrow key opened the calculation dialog"
shot tree-keys
xdotool key Return
window 計算条件設定
fill 1 30 0.5
shot 計算条件設定
xdotool key Return
gone 計算条件設定
message

# Results: rows with "結果表示" open: 4 結果表示, 5 振動ﾓｰﾄﾞ, then with it open
# 6-11 Mode1-6, 12 設定, 13 ｸﾞﾗﾌ表示, 14 連成度, 15 静解析, 16 動解析,
# 17 周波数ｽﾃｯﾌﾟ, 18 ﾃｷｽﾄ表示.
row 4
row 5
row 6
shot main-mode1
row 12
window ﾓｰﾄﾞｱﾆﾒｰｼｮﾝ設定
shot ﾓｰﾄﾞｱﾆﾒｰｼｮﾝ設定
xdotool key Escape
gone ﾓｰﾄﾞｱﾆﾒｰｼｮﾝ設定
row 13
window グラフ
shot contribution-graph
xdotool key Down # the list: "Mode1"
shot contribution-graph-mode1
xdotool key Tab space # "画面ｺﾋﾟｰ"
message
window グラフ
xclip -selection clipboard -t image/png -o >"$work/copy.png" 2>/dev/null ||
    fail "the graph is not on the clipboard"
[ "$(identify -format %w "$work/copy.png")" -gt 600 ] ||
    fail "the clipboard does not hold the chart"
xdotool key Escape
gone グラフ
row 14
message
row 18
window 情報
shot results-report
xdotool key Escape
gone 情報
# Back on "振動ﾓｰﾄﾞ", Left closes it; "静解析" opens with its loads: 6 静解析,
# 7 weight, 8 設定, then 9 動解析, 10 周波数ｽﾃｯﾌﾟ.
xdotool key Left
row 6
row 7
shot main-static
row 8
window 表示設定
shot 表示設定
xdotool key Escape
gone 表示設定
# "周波数ｽﾃｯﾌﾟ" (row 10) opens: 11 決定. The user picks the point in the view.
# The window opens with the slider in hand: 30 %, then (past the list of
# points) the spring's own axes and z, then "ﾃﾞｰﾀ表示".
row 10
pick_springs 2
row 11
window 周波数ｽﾃｯﾌﾟ解析結果
shot frequency-step
xdotool key Page_Up Page_Up Page_Up Page_Up Page_Up Page_Up Tab Tab Tab Down Tab Down Down
shot frequency-step-local-z
xdotool key Tab space
window 情報
shot frequency-step-data
xdotool key Escape
gone 情報
# Local z kept ("追加"; a button's shortcut clicks a moment later, and the
# focus stays on "ﾃﾞｰﾀ表示"), local y beside it; the window made larger, both
# axes logarithmic, the natural and load frequencies marked.
window 周波数ｽﾃｯﾌﾟ解析結果
xdotool key alt+a
sleep 0.4
xdotool key shift+Tab Up
xdotool getactivewindow windowsize --sync 1000 740
xdotool key alt+x alt+y
shot frequency-step-graph-log
# "保存..." in Qt's own file dialog, which reads in Japanese: the curves as CSV.
xdotool key alt+s
window 保存
shot save-dialog
xdotool key ctrl+a
type_text "$out/frequency-step.csv"
xdotool key Return
gone 保存
for _ in $(seq 50); do [ -s "$out/frequency-step.csv" ] && break; sleep 0.1; done
head -1 "$out/frequency-step.csv" | grep -q "^.*周波数 \[Hz\],front left ﾛｰｶﾙ z / unbalance \[m\],front left ﾛｰｶﾙ y / unbalance \[m\]" ||
    fail "the saved curves have not the expected heading: $(head -1 "$out/frequency-step.csv")"
[ "$(wc -l <"$out/frequency-step.csv")" = 60 ] || fail "the saved curves have not 59 steps"
window 周波数ｽﾃｯﾌﾟ解析結果
xdotool key Escape
gone 周波数ｽﾃｯﾌﾟ解析結果

# Fit frames the model; Mode1 again ("振動ﾓｰﾄﾞ", row 5, opens: 6 Mode1). F6
# takes the keyboard from the tree to the model browser's springs, where Down
# selects "rear right" (the third, in order of creation; lower left in the
# view, clear of the texts): it turns red in the view.
window "無題\\* - QUAV"
xdotool key alt+v f
row 5
row 6
xdotool key F6 Home Down Down
shot browser-selection
# Delete removes it, and the status line says so; the results stay, marked
# stale: the mode is the one calculated, with the spring as it was, in grey.
xdotool key Delete
shot delete-stale-results
# Ctrl+Z brings it back with its results; Home and Ctrl+Space leave no row,
# and so no spring, selected.
xdotool key ctrl+z
shot undo-delete
xdotool key Home ctrl+space

# The memo, then save under a name.
window "無題\\* - QUAV"
xdotool key alt+i t
window メモ
type_text "4点支持の例題"
xdotool key Return
type_text tour
shot メモ
xdotool key Tab space
gone メモ
window "無題\\* - QUAV"
xdotool key ctrl+s
window 名前を付けて保存
xdotool key ctrl+a
type_text "$out/tour.quav"
xdotool key Return
window "tour.quav - QUAV"
shot main-saved

# The reports of the information menu.
xdotool key alt+i m
window 情報
shot input-listing
xdotool key Escape
gone 情報
window "tour.quav - QUAV"
xdotool key alt+i e
window 情報
shot elastic-centre
xdotool key Escape
gone 情報

# A new document, then the saved file again.
window "tour.quav - QUAV"
xdotool key ctrl+n
window "無題 - QUAV"
xdotool key ctrl+o
window 開く
xdotool key ctrl+a
type_text "$out/tour.quav"
xdotool key Return
window "tour.quav - QUAV"
shot main-reopened
xdotool key alt+h a
window QUAVのﾊﾞｰｼﾞｮﾝ情報
shot about
xdotool key Return
window "tour.quav - QUAV"
xdotool key alt+f x
for _ in $(seq 50); do kill -0 "${pids[-1]}" 2>/dev/null || break; sleep 0.1; done
kill -0 "${pids[-1]}" 2>/dev/null && fail "QUAV did not close"

# ------------------------------------------------------------------ check --
# The file the walk saved holds exactly the model quav-cli makes from the
# same input.
"$cli" calc "$root/tests/data/tour_model.json" -o "$work/expected.quav" >/dev/null
"$cli" dump "$work/expected.quav" >"$out/expected.json"
"$cli" dump "$out/tour.quav" >"$out/tour.json"
if ! diff -u "$out/expected.json" "$out/tour.json" >"$out/dump.diff"; then
    head -40 "$out/dump.diff" >&2
    fail "the saved model differs from the expected one (see $out/dump.diff)"
fi
rm -f "$out/dump.diff"
# -------------------------------------------------------------- optimiser --
# A second session on a copy of the saved model: an optimiser study set up in
# its dialogs (two parameters bound to three variables, a frequency
# condition), run with its log and progress in view, and a result file
# opened. The run's files must be those quav-cli optimize writes for the same
# model.
rm -rf "$out/study.quav" "$out/Optimize"
cp "$out/tour.quav" "$out/study.quav"
"$quav" "$out/study.quav" >"$work/quav.log" 2>&1 &
pids+=($!)
window "study.quav - QUAV"

# "最適化" (row 5) opens: 6 ﾊﾟﾗﾒｰﾀ設定, 7 最適化条件, 8 目的関数, 9 最適化実行, 10 ﾊﾟﾚｰﾄ解.
row 5
row 6
window 最適化ﾊﾟﾗﾒｰﾀ設定
# From the tree: the list, then "ﾊﾟﾗﾒｰﾀ追加".
xdotool key Tab Tab space
dialog ﾊﾟﾗﾒｰﾀ設定 "front Kxx" 200000 350000 250
window 最適化ﾊﾟﾗﾒｰﾀ設定
xdotool key space
dialog ﾊﾟﾗﾒｰﾀ設定 "rear x" -0.45 -0.35 0.0001
window 最適化ﾊﾟﾗﾒｰﾀ設定
# In the tree Kxx of "front mount" takes "front Kxx" (the first parameter),
# x of "rear right" and of "rear left" take "rear x"; "登録" after each.
xdotool key shift+Tab shift+Tab Home Down Down Right Down Right Down Tab Down Tab Tab space
xdotool key shift+Tab shift+Tab shift+Tab Home Down Right Down Down Down Right Down \
    Tab Down Down Tab Tab space
xdotool key shift+Tab shift+Tab shift+Tab Down Down Down Down Down Right Down \
    Tab Down Down Tab Tab space
shot 最適化ﾊﾟﾗﾒｰﾀ設定
xdotool key Escape
gone 最適化ﾊﾟﾗﾒｰﾀ設定

# The lowest natural frequency at least 5.029 Hz. The form opens in its first
# number field; "最小周波数" is 19 fields on.
row 7
window 制約条件・目標設定
xdotool key $(printf 'Tab %.0s' $(seq 19)) space Tab ctrl+a
type_text 5.029
shot 制約条件・目標設定
xdotool key Return
gone 制約条件・目標設定
window "study.quav\\* - QUAV"
xdotool key ctrl+s
window "study.quav - QUAV"

# The run: the output folder chosen with the browser, then "計算スタート".
row 9
window 解析結果保存先設定
xdotool key Tab space # "参照"
window ディレクトリを選択
shot folder-browser
type_text "$out"
xdotool key Return
gone ディレクトリを選択
window 解析結果保存先設定
xdotool key Tab
shot 解析結果保存先設定
xdotool key Return
gone 解析結果保存先設定
window 計算ログ
xdotool key space
sleep 1
shot optimizer-running
# The run's threads yield to everything else: on a busy machine it takes a while.
for _ in $(seq 600); do
    xdotool search --onlyvisible --name "^QUAV\$" >/dev/null 2>&1 && break
    sleep 0.5
done
window QUAV
shot optimizer-finished-message
xdotool key Return
gone QUAV
window 計算ログ
shot optimizer-finished
xdotool key Escape
gone 計算ログ

# A result file opens like any model.
window "study.quav - QUAV"
xdotool key ctrl+o
window 開く
xdotool key ctrl+a
type_text "$out/Optimize/No1.quav"
xdotool key Return
window "No1.quav - QUAV"
shot result-file
xdotool key alt+f x
for _ in $(seq 50); do kill -0 "${pids[-1]}" 2>/dev/null || break; sleep 0.1; done
kill -0 "${pids[-1]}" 2>/dev/null && fail "QUAV did not close"

# The same study from the command line writes the same files (the times in
# the log aside).
"$cli" optimize "$out/study.quav" --out "$work/cli" 2>/dev/null ||
    fail "quav-cli optimize failed on the saved study"
without_times() { iconv -f CP932 -t UTF-8 "$1" | grep -v "日時："; }
matches=0
for f in "$work/cli"/*; do
    name=$(basename "$f")
    if [ "$name" = log.txt ]; then
        diff <(without_times "$f") <(without_times "$out/Optimize/$name") >/dev/null ||
            fail "log.txt differs from quav-cli's"
    else
        cmp -s "$f" "$out/Optimize/$name" || fail "$name differs from quav-cli's"
        matches=$((matches + 1))
    fi
done
[ "$matches" -gt 1 ] || fail "the study wrote no result file"

# ------------------------------------------------------------ the 3-D view --
# The example opened from the command line: calculate, watch the modes move,
# pick a spring in a static result and read its block, lay the example's DXF
# outline over the body, copy the picture to the clipboard.
"$quav" "$root/examples/power_unit.quav" >"$work/quav-view.log" 2>&1 &
pids+=($!)
window "power_unit.quav - QUAV"
measure_tree
# Up as the weight says (表示 → 上方向 → 自動): the example's weight acts along
# -z, so z is up; Fit frames the body, the springs, the loads and the points.
xdotool key alt+v u a
xdotool key alt+v f
shot z-up-fit
xdotool key alt+v 4 # 等角: turned, and fitted again
shot view-isometric
xdotool key alt+v 1 # 正面
# Rows: 3 計算実行, 4 結果表示; under it 5 振動ﾓｰﾄﾞ, with it open 6-11 Mode1-6,
# 12 設定, 13 ｸﾞﾗﾌ表示, 14 連成度, then 15 静解析, with it open 16 weight,
# 17 roll torque.
row 3
window 計算条件設定
xdotool key Return
gone 計算条件設定
message
row 4
row 5
row 6
shot view-mode1
# The mode moves: the same display a moment later is another picture.
changes "$out/$(printf %02d "$shots")-view-mode1.png" 0 || fail "Mode1 does not move"
for mode in 7 8 9 10 11; do
    row $mode
done
shot view-mode6
row 15
row 16
view_before
# A spring of the example is yellow (bound to a characteristic). A click inside
# its box, off its edges and axes, picks it: halfway between the outline's
# first yellow pixel (a corner of its silhouette) and the middle of the yellow
# pixels around it. Its block joins the texts.
point=$(convert "$work/before.png" -crop "$((tree_x - 10))x100000+0+0" txt:- |
    awk -F'[,:]' '/#FFFF00/ { x = $1; y = $2 + 0
        if (!n) { fx = x; fy = y }
        if (x - fx < 60 && fx - x < 60 && y - fy < 60) { n++; sx += x; sy += y }
    } END { if (n) printf "%d %d\n", (fx + sx / n) / 2, (fy + sy / n) / 2 }') || true
[ -n "$point" ] || fail "no spring drawn in the static display"
read -r x y <<<"$point"
xdotool mousemove "$x" "$y" click 1
changes "$work/before.png" 500 || fail "a click inside a spring printed no block"
shot pick-inside-spring
# The outline of the power unit instead of the box.
xdotool key alt+f i g
window 開く
xdotool key ctrl+a
type_text "$root/examples/power_unit_outline.dxf"
xdotool key Return
window dxfﾌｧｲﾙ読み込み設定
shot dxfﾌｧｲﾙ読み込み設定
xdotool key Return
gone dxfﾌｧｲﾙ読み込み設定
shot view-outline
# The transmissibility of the example's force load (解析 → 伝達率, the fourth item).
window "power_unit.quav\\* - QUAV"
xdotool key alt+a Down Down Down Return
window 伝達率
xdotool getactivewindow windowsize --sync 1000 700
xdotool key alt+x alt+y
shot transmissibility-graph-log
xdotool key Escape
gone 伝達率
# The sensitivities (解析 → 感度..., the last item): the table and the chart.
window "power_unit.quav\\* - QUAV"
xdotool key alt+a Down Down Down Down Down Return
window 感度
xdotool getactivewindow windowsize --sync 1000 760
shot sensitivity
xdotool key Escape
gone 感度
# Ctrl+C copies the view as shown: an image of the view's size on the clipboard.
window "power_unit.quav\\* - QUAV"
xdotool key ctrl+c
message
xclip -selection clipboard -t image/png -o >"$out/view-copy.png" ||
    fail "no image on the clipboard"
[ "$(identify -format %w "$out/view-copy.png")" -gt 400 ] || fail "the copied image is too small"

# ------------------------------------------------------------ load cases --
# The example with snubbing mounts and twenty load cases: 解析 → 荷重ケース (the
# last item) lists them worst first, failures in red; a double-click on the
# worst shows its deflected body in the view. Then the case dialog (ﾓﾃﾞﾙ作成,
# row 1, opens: 2-8, 8 荷重ケース) and the objectives (最適化, row 5, opens:
# 6 ﾊﾟﾗﾒｰﾀ設定, 7 最適化条件, 8 目的関数).
"$quav" "$root/examples/power_unit_cases.quav" >"$work/quav-cases.log" 2>&1 &
pids+=($!)
window "power_unit_cases.quav - QUAV"
measure_tree
xdotool key alt+a Down Down Down Down Down Down Return
window 荷重ケース
xdotool getactivewindow windowsize --sync 900 520
shot load-cases
xdotool mousemove --window "$(xdotool getactivewindow)" 60 45 click --repeat 2 1
window 荷重ケース
xdotool key Escape
gone 荷重ケース
window "power_unit_cases.quav - QUAV"
shot load-case-view
row 5
row 8
window 目的関数
shot 目的関数
xdotool key Escape
gone 目的関数
row 1
row 8
window 荷重ケース設定
shot 荷重ケース設定
xdotool key Escape
gone 荷重ケース設定

echo "tour: $shots screenshots in $out; the saved model matches; the study's" \
    "$((matches - 1)) result files are those of quav-cli; the 3-D view animates, picks," \
    "imports and copies"
