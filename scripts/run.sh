#!/usr/bin/env bash
# Installs what is missing, builds QUAV and runs it on the bundled example
# model: with a display, the desktop application opens it; without one, the
# calculation runs with quav-cli and its results report is printed.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/bootstrap.sh
cmake --preset dev >/dev/null
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    cmake --build --preset dev --target quav
    exec ./build/src/app/quav examples/power_unit.quav
fi
cmake --build --preset dev --target quav-cli
out="${TMPDIR:-/tmp}/quav-example"
mkdir -p "$out"
./build/src/quav-cli calc examples/power_unit.quav -o "$out/power_unit.quav"
./build/src/quav-cli report "$out/power_unit.quav"
