#!/usr/bin/env bash
# Builds the Debian package from the dev build, installs it with apt as a user
# would, uses what it installed (quav-cli on the installed example; quav opens
# it on an X server of its own, its main window is checked and closed), and
# removes the package again. Needs root (or sudo) for apt; CI runs it after
# scripts/test.sh, whose build it packages.
#
#   scripts/check-package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(pwd)/build

cmake --build --preset dev
rm -f "$build"/package/quav_*.deb
(cd "$build" && cpack -G DEB >"$build/package.log" 2>&1) || {
    cat "$build/package.log" >&2
    exit 1
}
deb=$(ls "$build"/package/quav_*_amd64.deb)
echo "check-package: $(basename "$deb"), $(du -k "$deb" | cut -f1) KiB"
dpkg-deb -f "$deb" Depends

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    $sudo apt-get remove -y -qq quav >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "check-package: $*" >&2
    exit 1
}

export DEBIAN_FRONTEND=noninteractive
$sudo apt-get install -y -qq --reinstall "$deb" >"$work/apt.log" 2>&1 ||
    fail "apt-get install: $(tail -20 "$work/apt.log")"
examples=/usr/share/doc/quav/examples
[ "$(command -v quav-cli)" = /usr/bin/quav-cli ] || fail "quav-cli is not /usr/bin/quav-cli"
quav-cli --version
quav --version

# The command-line front end on the installed example.
quav-cli calc "$examples/power_unit.quav" -o "$work/out.quav" >"$work/calc.txt" ||
    fail "quav-cli calc on the installed example: $(cat "$work/calc.txt")"
grep -qx "計算終了" "$work/calc.txt" || fail "quav-cli calc did not finish: $(cat "$work/calc.txt")"
quav-cli report "$work/out.quav" >"$work/report.txt"
grep -q "//////固有値解析結果//////" "$work/report.txt" || fail "no results report"

# The desktop application on it, on an X server that picks a free display.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -1 "$work/display")"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

quav "$examples/power_unit.quav" >"$work/quav.log" 2>&1 &
quav=$!
pids+=("$quav")
window=""
for _ in $(seq 150); do
    window=$(xdotool search --onlyvisible --name '^power_unit\.quav - QUAV$' 2>/dev/null |
        head -1) || true
    [ -n "$window" ] && break
    kill -0 "$quav" 2>/dev/null ||
        fail "quav ended before its window appeared: $(cat "$work/quav.log")"
    sleep 0.2
done
[ -n "$window" ] || fail "no main window \"power_unit.quav - QUAV\" within 30 s"
# The window carries its icon. xprop's listing goes to a file first: grep -q
# leaving the pipe early would end xprop with SIGPIPE, a failure under pipefail.
icon=no
for _ in $(seq 25); do
    xprop -id "$window" _NET_WM_ICON >"$work/icon.txt" 2>&1 || true
    grep -q "Icon (" "$work/icon.txt" && icon=yes && break
    sleep 0.2
done
[ "$icon" = yes ] || fail "the main window has no icon: $(head -c 300 "$work/icon.txt")"
sleep 1
import -window root "$build/package/installed-quav.png"

# Closed from its menu: ﾌｧｲﾙ → ｱﾌﾟﾘｹｰｼｮﾝの終了.
xdotool windowfocus --sync "$window"
xdotool key alt+f x
for _ in $(seq 100); do kill -0 "$quav" 2>/dev/null || break; sleep 0.1; done
kill -0 "$quav" 2>/dev/null && fail "quav did not close"
status=0
wait "$quav" || status=$?
[ "$status" -eq 0 ] || fail "quav exited with $status: $(cat "$work/quav.log")"
echo "check-package: installed, quav-cli calculated the example, quav opened it and closed"
