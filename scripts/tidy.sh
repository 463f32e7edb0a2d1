#!/usr/bin/env bash
# clang-tidy with the checks of .clang-tidy on the C++ files a change touches,
# every finding an error. The change runs from BASE (default: where the branch
# left main; on main itself, the last commit) to the working tree. A changed
# header is checked through the source file beside it. Needs the compile
# commands of a configured build (default build/, as scripts/test.sh leaves it).
#
#   scripts/tidy.sh [BASE]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${QUAV_BUILD_DIR:-build}"
[ -f "$build/compile_commands.json" ] ||
    { echo "tidy: no $build/compile_commands.json; configure a build first" >&2; exit 2; }

base=${1:-}
if [ -z "$base" ]; then
    for ref in main origin/main; do
        base=$(git merge-base HEAD "$ref" 2>/dev/null) && break
    done
    if [ -z "$base" ] || [ "$base" = "$(git rev-parse HEAD)" ]; then
        base=$(git rev-parse HEAD~1 2>/dev/null || git hash-object -t tree /dev/null)
    fi
fi

files=()
while IFS= read -r f; do
    case "$f" in
    *.h) f="${f%.h}.cpp" ;;
    esac
    # Only what the build compiles (the GUI's or the fuzz targets' files are
    # absent from a build configured without them).
    [ -f "$f" ] && grep -qF "\"file\": \"$PWD/$f\"" "$build/compile_commands.json" && files+=("$f")
done < <(git diff --name-only --diff-filter=d "$base" -- '*.cpp' '*.h' | sort -u)

if [ ${#files[@]} -eq 0 ]; then
    echo "tidy: no C++ file changed since ${base:0:12}"
    exit 0
fi
echo "tidy: ${#files[@]} files changed since ${base:0:12}"
printf '%s\n' "${files[@]}" | sort -u |
    xargs -P 2 -n 1 clang-tidy -p "$build" --quiet --warnings-as-errors='*'
