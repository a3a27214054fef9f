#!/bin/sh
# After a new file took the old one's place, the folder is synced: in the
# trace of one write through WriteWholeFile, an fsync of the folder's
# descriptor follows the rename. Usage: folder_sync.sh <tst_WholeFile_Unit>
strace -o /dev/null true 2>/dev/null || exit 77 # no strace, or no tracing here
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
mkdir "$dir/folder" && printf old >"$dir/folder/story.txt" || exit 1
# The leak checker does not work under a tracer (a sanitizer build).
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
    strace -f -o "$dir/trace" -e trace=openat,rename,renameat,renameat2,fsync \
    "$1" --write "$dir/folder/story.txt" 100 || exit 1
awk -v folder="\"$dir/folder\"" -v file="\"$dir/folder/story.txt\"" '
    index($0, folder ",") && /O_DIRECTORY/ && match($0, /= [0-9]+$/) { fd = substr($0, RSTART + 2) }
    /rename/ && index($0, file) && / = 0$/ { renamed = 1 }
    renamed && fd != "" && index($0, "fsync(" fd ")") && / = 0$/ { synced = 1 }
    END { exit !synced }' "$dir/trace" || { cat "$dir/trace"; exit 1; }
