#!/bin/sh
# The style checks: clang-format on every C++ file, and clang-tidy (.clang-tidy) on the
# program's sources, through the compile commands of the build in $1. With a git revision in
# $2, clang-tidy looks only at the sources changed since it, the tests' too.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=$1
since=${2:-}
cd "$here"

files=$(git ls-files 'src/*.cpp' 'src/*.hpp' 'tests/*.cpp' 'tests/*.hpp' 'bench/*.cpp' 'bench/*.hpp')
# shellcheck disable=SC2086
if ! clang-format --dry-run --Werror $files; then
    echo "lint: clang-format would change the files above; run clang-format -i on them" >&2
    exit 1
fi

if [ -n "$since" ]; then
    sources=$(git diff --name-only --diff-filter=d "$since" -- 'src/*.cpp' 'tests/*.cpp')
else
    sources=$(git ls-files 'src/*.cpp')
fi
[ -z "$sources" ] && { echo "lint: clean (no sources changed)"; exit 0; }
# Headers are checked through the sources that include them.
# shellcheck disable=SC2086
if ! run-clang-tidy -quiet -p "$build" -j "$(nproc)" $(printf "$here/%s " $sources) \
    >"$build/clang-tidy.log" 2>&1; then
    grep -E "warning:|error:" "$build/clang-tidy.log" | sort -u >&2
    echo "lint: clang-tidy found the above (whole output: $build/clang-tidy.log)" >&2
    exit 1
fi
echo "lint: clean"
