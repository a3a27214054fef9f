#!/bin/bash
# Installs the build into a temporary prefix (with a space in it) and starts
# the program the way the desktop menu does, through the installed launcher,
# for a user whose home is a temporary folder: the launcher makes the user's
# start directory with links to the installed suggestions file and manual,
# and the program starts there, finds its suggestions (no error box before
# the first-start question) and is left by Abort in the first settings step.
# The installed menu entry passes desktop-file-validate when it is present.
#
#   e2e_install.sh CMAKE_COMMAND SOURCE_DIR BUILD_DIR
set -euo pipefail

cmake_command=$1
NUDGER_SOURCE_DIR=$(realpath "$2")
NUDGER_BUILD_DIR=$(realpath "$3")
e2e_dir="$NUDGER_SOURCE_DIR/tests/e2e"
source "$e2e_dir/xvfb_env.sh"
NUDGER=unused NUDGER_CONFIG=unused
source "$e2e_dir/e2e_common.sh"

prefix="$NUDGER_WORK/install prefix"
"$cmake_command" --install "$NUDGER_BUILD_DIR" --prefix "$prefix" >"$NUDGER_WORK/install.log" ||
    { cat "$NUDGER_WORK/install.log" >&2; nudger_fail "cmake --install failed"; }

# What went where.
for file in bin/nudger libexec/nudger/Nudger; do
    [[ -x "$prefix/$file" ]] || nudger_fail "$file is not installed as a program"
done
for file in share/nudger/nudger.dat share/nudger/Manual.html \
    share/icons/hicolor/32x32/apps/nudger.png share/applications/nudger.desktop \
    share/metainfo/org.example.nudger.metainfo.xml share/man/man1/nudger.1.gz; do
    [[ -s "$prefix/$file" ]] || nudger_fail "$file is not installed"
done
cmp -s "$prefix/share/nudger/nudger.dat" "$NUDGER_BUILD_DIR/nudger.dat" ||
    nudger_fail "the installed nudger.dat is not the built one"
if command -v identify >/dev/null; then
    size=$(identify -format '%wx%h' "$prefix/share/icons/hicolor/32x32/apps/nudger.png")
    [[ "$size" == 32x32 ]] || nudger_fail "the 32x32 icon is $size"
fi
desktop="$prefix/share/applications/nudger.desktop"
for line in "Exec=\"$prefix/bin/nudger\"" "Icon=nudger" "Categories=Office;TextEditor;" \
    "Type=Application" "Name=Nudger"; do
    grep -qxF "$line" "$desktop" || nudger_fail "nudger.desktop lacks the line $line"
done
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || nudger_fail "desktop-file-validate rejects nudger.desktop"
    echo "desktop-file-validate accepts nudger.desktop"
else
    echo "desktop-file-validate is not installed (desktop-file-utils): not checked"
fi

home="$NUDGER_WORK/home"
mkdir -p "$home"
nudger_start_through_launcher "$prefix" "$home/.local/share/nudger" HOME="$home"
# Again: the links are renewed, the configuration stays.
nudger_start_through_launcher "$prefix" "$home/.local/share/nudger" HOME="$home"
nudger_start_through_launcher "$prefix" "$NUDGER_WORK/data/nudger" HOME="$home" \
    XDG_DATA_HOME="$NUDGER_WORK/data"

# A file the user put in place of a link stays as it is.
printf 'mine\n' >"$home/manual-copy"
rm "$home/.local/share/nudger/Manual.html"
cp "$home/manual-copy" "$home/.local/share/nudger/Manual.html"
run_launcher_keeps_file()
{
    (cd / && exec env -u XDG_DATA_HOME HOME="$home" "$prefix/bin/nudger") >/dev/null 2>&1 &
    NUDGER_PID=$!
    nudger_window '^Information$' 20 >/dev/null
    kill "$NUDGER_PID"
    wait "$NUDGER_PID" 2>/dev/null || true
    NUDGER_PID=
}
run_launcher_keeps_file
[[ ! -L "$home/.local/share/nudger/Manual.html" ]] &&
    cmp -s "$home/manual-copy" "$home/.local/share/nudger/Manual.html" ||
    nudger_fail "the launcher replaced the user's own Manual.html"

# Without HOME or XDG_DATA_HOME there is no start directory to choose.
if env -u HOME -u XDG_DATA_HOME "$prefix/bin/nudger" 2>"$NUDGER_WORK/nohome.log"; then
    nudger_fail "the launcher started without HOME"
fi
grep -q 'HOME' "$NUDGER_WORK/nohome.log" || nudger_fail "no clear message without HOME"

echo "PASS: installed, started through the launcher in the user's own start directory"
