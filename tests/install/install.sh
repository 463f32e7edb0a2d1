#!/usr/bin/env bash
# The installed tree, installed into a temporary prefix:
#   install.sh CASE BUILD_DIR SOURCE_DIR PROJECT_VERSION
# tree: every file in place, the programs run from there;
# mime: the desktop entry and the file type, as a desktop uses them;
# completion: bash completion of quav-cli's commands, options and values.
set -u
case_name=$1
build=$2
source=$3
version=$4
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

fail() {
    echo "FAIL [$case_name]: $*" >&2
    exit 1
}
cmake --install "$build" --prefix "$prefix" >"$prefix/install.log" 2>&1 ||
    fail "cmake --install: $(tail -5 "$prefix/install.log")"
share=$prefix/share

case "$case_name" in
tree)
    for f in bin/quav bin/quav-cli; do
        [ -x "$prefix/$f" ] || fail "$f is not installed"
    done
    for f in applications/quav.desktop mime/packages/quav.xml \
        icons/hicolor/scalable/apps/quav.svg icons/hicolor/scalable/mimetypes/application-x-quav.svg \
        man/man1/quav.1.gz man/man1/quav-cli.1.gz bash-completion/completions/quav-cli \
        doc/quav/manual.html doc/quav/file-format.html doc/quav/examples/power_unit.quav \
        doc/quav/examples/power_unit.json doc/quav/examples/power_unit_outline.dxf \
        doc/quav/examples/rubber_mount.csv; do
        [ -s "$share/$f" ] || fail "share/$f is not installed"
    done
    # PNG icons of their nominal size (width and height in the header).
    for size in 16 22 24 32 48 64 128 256; do
        for icon in apps/quav mimetypes/application-x-quav; do
            png=$share/icons/hicolor/${size}x$size/$icon.png
            [ -s "$png" ] || fail "no $size px icon $icon"
            [ "$(od -An --endian=big -tu4 -j16 -N8 "$png" | xargs)" = "$size $size" ] ||
                fail "$png is not $size x $size"
        done
    done
    # Every picture the manual shows.
    for image in $(grep -o 'src="[^"]*"' "$source/docs/manual.html" | sed 's/src="//; s/"$//'); do
        [ -s "$share/doc/quav/$image" ] || fail "the manual's $image is not installed"
    done
    for page in quav.1 quav-cli.1; do
        gzip -dc "$share/man/man1/$page.gz" | cmp -s - "$source/docs/man/$page" ||
            fail "share/man/man1/$page.gz is not docs/man/$page"
    done
    for program in quav quav-cli; do
        line=$("$prefix/bin/$program" --version) || fail "$program --version failed"
        [[ $line == "$program 3.03 (build $version"* ]] || fail "$program --version: $line"
    done
    out=$prefix/out.quav
    "$prefix/bin/quav-cli" calc "$share/doc/quav/examples/power_unit.quav" -o "$out" >/dev/null ||
        fail "the installed quav-cli does not calculate the installed example"
    "$prefix/bin/quav-cli" report "$out" >"$prefix/report.txt" || fail "report failed"
    grep -q "固有値解析結果" "$prefix/report.txt" || fail "no results report"
    ;;
mime)
    desktop-file-validate "$share/applications/quav.desktop" || fail "desktop-file-validate"
    grep -qx 'Exec=quav %f' "$share/applications/quav.desktop" || fail "Exec is not quav %f"
    grep -qx 'MimeType=application/x-quav;' "$share/applications/quav.desktop" ||
        fail "the desktop entry does not open application/x-quav"
    xmllint --noout "$share/mime/packages/quav.xml" || fail "xmllint"
    update-mime-database "$share/mime" || fail "update-mime-database"
    # As a desktop without its own file-type service finds types (xdg-mime's
    # generic way): by the data directories alone.
    cp "$source/examples/power_unit.quav" "$prefix/model-without-extension"
    cp "$source/examples/power_unit.json" "$prefix/json-without-extension"
    query() {
        env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION -u KDE_FULL_SESSION -u GNOME_DESKTOP_SESSION_ID \
            XDG_DATA_HOME="$prefix/home" XDG_DATA_DIRS="$share:/usr/share" xdg-mime query filetype "$1"
    }
    type=$(query "$source/examples/power_unit.quav")
    [ "$type" = application/x-quav ] || fail "examples/power_unit.quav is \"$type\""
    # The magic rule knows a model by its first bytes, and only a model.
    type=$(query "$prefix/model-without-extension")
    [ "$type" = application/x-quav ] || fail "a model without extension is \"$type\""
    type=$(query "$prefix/json-without-extension")
    [ "$type" != application/x-quav ] || fail "a JSON file is taken for a model"
    ;;
completion)
    export PATH="$prefix/bin:$PATH"
    # shellcheck source=/dev/null
    source "$share/bash-completion/completions/quav-cli"
    complete_to() { # expected words... -- command line words (the last one being completed)
        local expected=() words
        while [ "$1" != -- ]; do
            expected+=("$1")
            shift
        done
        shift
        COMP_WORDS=("$@")
        COMP_CWORD=$(($# - 1))
        _quav_cli
        words=" ${COMPREPLY[*]} "
        for e in "${expected[@]}"; do
            [[ $words == *" $e "* ]] || fail "\"$*\" completes to \"${COMPREPLY[*]}\", without $e"
        done
    }
    complete_to calc sweep optimize --version -- quav-cli ""
    complete_to --only --output -- quav-cli calc --o
    complete_to eigen,static -- quav-cli calc in.quav --only eigen,st
    complete_to Rx Ry Rz -- quav-cli sweep in.quav --dof R
    cd "$share/doc/quav/examples" || fail "no examples"
    complete_to power_unit.quav -- quav-cli report --encoding cp932 power_unit.q
    ;;
*)
    fail "unknown case"
    ;;
esac
