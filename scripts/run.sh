#!/usr/bin/env bash
# Installs what is missing, builds QUAV and runs it on the bundled example model:
# the calculation with quav-cli, then its results report.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/bootstrap.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target quav-cli
out="${TMPDIR:-/tmp}/quav-example"
mkdir -p "$out"
./build/src/quav-cli calc examples/power_unit.quav -o "$out/power_unit.quav"
./build/src/quav-cli report "$out/power_unit.quav"
