#!/bin/bash
# tools/package.sh builds only from a checkout it can package whole: one with
# uncommitted changes, untracked files, or without the manual or a screenshot
# is refused with a message naming the file. Each row changes a fresh
# repository holding the committed tree; --check-only stops before the build.
#
#   package_refusals.sh SOURCE_DIR
set -euo pipefail

source_dir=$(realpath "$1")
command -v git >/dev/null || { echo "SKIP: git is not installed"; exit 77; }
git -C "$source_dir" rev-parse HEAD >/dev/null 2>&1 ||
    { echo "SKIP: $source_dir is not a git checkout"; exit 77; }

work=$(mktemp -d "${TMPDIR:-/tmp}/nudger-package-refusals.XXXXXX")
trap 'rm -rf "$work"' EXIT
git_commit()
{
    git -c user.name=test -c user.email=test@localhost commit -q "$@"
}
mkdir "$work/base"
git -C "$source_dir" archive HEAD | tar -x -C "$work/base"
(cd "$work/base" && git init -q && git add -A && git_commit -m base)

# name | change | expected status | text the output must hold
rows=(
    "clean checkout|true|0|is clean and holds the manual"
    "ignored build folder|mkdir build-x && touch build-x/CMakeCache.txt|0|is clean and holds the manual"
    "modified tracked file|echo more >>README.md|1|M README.md"
    "untracked file|touch notes.txt|1|?? notes.txt"
    "manual deleted and committed|git rm -q resources/Manual.html && git_commit -m x|1|resources/Manual.html is missing"
    "screenshot deleted and committed|git rm -q docs/screenshot-main.png && git_commit -m x|1|docs/screenshot-main.png is missing"
)
failures=0
for row in "${rows[@]}"; do
    IFS='|' read -r name change expected_status expected_text <<<"$row"
    dir="$work/row"
    rm -rf "$dir"
    git clone -q "$work/base" "$dir"
    (cd "$dir" && eval "$change")
    status=0
    output=$(bash "$dir/tools/package.sh" --check-only 2>&1) || status=$?
    if [[ "$status" != "$expected_status" || "$output" != *"$expected_text"* ]]; then
        echo "FAIL: $name: status $status (expected $expected_status), output:"
        echo "$output"
        failures=$((failures + 1))
    else
        echo "ok: $name"
    fi
done
((failures == 0)) || exit 1
echo "PASS: package.sh refuses what it cannot package whole"
