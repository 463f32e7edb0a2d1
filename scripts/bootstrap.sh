#!/usr/bin/env bash
# Installs the Debian packages QUAV needs to build, test and benchmark.
# Idempotent: only packages that are missing are installed.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    nlohmann-json3-dev libcli11-dev
    clang libclang-rt-dev clang-format clang-tidy
    qt6-base-dev libqt6opengl6-dev libgl-dev libglu1-mesa-dev
    # The result graphs (Qt Charts), their SVG export (Qt SVG) and Qt's own
    # dialogs in Japanese (qtbase_ja).
    qt6-charts-dev qt6-svg-dev qt6-translations-l10n
    xvfb xauth fonts-noto-cjk xdotool xclip imagemagick openbox
    # Installing and packaging: icons rendered from SVG, the Debian package's
    # library dependencies, and the checks of the desktop entry, the file type
    # (xdg-mime asks the shared MIME database through mimetype) and the window.
    librsvg2-bin dpkg-dev file desktop-file-utils libxml2-utils shared-mime-info
    xdg-utils libfile-mimeinfo-perl x11-utils
    # The JSON checks of quav-cli's end-to-end tests, and the outside reader of
    # exported decks.
    jq python3
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "bootstrap: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
