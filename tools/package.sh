#!/bin/bash
# Builds the Debian package nudger_<version>_<arch>.deb from a clean checkout:
# the committed tree is exported and built (Release, Debian's hardening
# flags), CPack makes the package (tools/package.cmake) with its dependencies
# computed by dpkg-shlibdeps, and the package is checked to hold every file
# before it is put in the output folder.
#
#   bash tools/package.sh [OUTPUT_DIR]    (default: build-package in the checkout)
#   bash tools/package.sh --check-only    only check that the checkout is clean
#                                         and holds the artwork and the manual
#
# It installs the Debian packages it needs first (tools/deps.sh), unless
# NUDGER_SKIP_INSTALL=1.
#
# A checkout with uncommitted changes or untracked files, or one that lacks
# the manual or a screenshot the software-centre entry shows, gives no
# package. tools/package-check.sh installs and tries the result.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
check_only=false
if [[ "${1:-}" == --check-only ]]; then
    check_only=true
    shift
fi
output=$(realpath -m "${1:-$root/build-package}")

fail()
{
    printf 'package: %s\n' "$@" >&2
    exit 1
}

# The package is built from what is committed; anything else in the tree
# would either be left out silently or be mistaken for part of the release.
dirty=$(git -C "$root" status --porcelain --untracked-files=all 2>&1) ||
    fail "git cannot tell whether $root is clean; build from a clone:" "$dirty"
if [[ -n "$dirty" ]]; then
    fail "the checkout is not clean; commit, stash or remove these first:" "$dirty"
fi

# The artwork and the manual: the manual ships in the package, and the
# software-centre entry shows the README's screenshots.
is_png()
{
    [[ "$(head -c 8 "$1" | od -An -tx1 | tr -d ' \n')" == 89504e470d0a1a0a ]]
}
[[ -s "$root/resources/Manual.html" ]] && grep -qi '<html' "$root/resources/Manual.html" ||
    fail "the manual resources/Manual.html is missing or is not an HTML document"
mapfile -t screenshots < <(grep -o '<image>[^<]*</image>' "$root/tools/nudger.metainfo.xml.in" |
    sed -e 's#</image>##' -e 's#.*/##')
((${#screenshots[@]} > 0)) || fail "tools/nudger.metainfo.xml.in names no screenshot"
for name in "${screenshots[@]}"; do
    [[ -f "$root/docs/$name" ]] && is_png "$root/docs/$name" ||
        fail "the screenshot docs/$name is missing or is not a PNG picture"
done
if $check_only; then
    echo "package: the checkout is clean and holds the manual and ${#screenshots[@]} screenshots"
    exit 0
fi

if [[ "${NUDGER_SKIP_INSTALL:-}" != 1 ]]; then
    source "$root/tools/deps.sh"
    nudger_install_deps
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/nudger-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
umask 022

# Dates in the package (the release, the changelog, the manual page) are the
# last commit's, so that the same commit gives the same package.
SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct)
export SOURCE_DATE_EPOCH
mkdir "$work/source"
git -C "$root" archive --format=tar HEAD | tar -x -C "$work/source"

cd "$work/source"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
LDFLAGS=$(dpkg-buildflags --get LDFLAGS)
export CXXFLAGS LDFLAGS
echo "package: building $(git -C "$root" rev-parse --short HEAD) in $work"
cmake -S "$work/source" -B "$work/build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    >"$work/configure.log" 2>&1 || { cat "$work/configure.log" >&2; fail "configuring failed"; }
cmake --build "$work/build" --target Nudger -j "$(nproc 2>/dev/null || echo 2)" \
    >"$work/build.log" 2>&1 || { tail -n 50 "$work/build.log" >&2; fail "building failed"; }
(cd "$work/build" && cpack -G DEB) >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; fail "cpack failed"; }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$work/build/CMakeCache.txt")
deb="$work/build/nudger_${version}_$(dpkg --print-architecture).deb"
[[ -f "$deb" ]] || fail "cpack made no $(basename "$deb"):" "$(ls "$work/build"/*.deb 2>&1)"

# What the package must hold, each file non-empty.
dpkg-deb -x "$deb" "$work/root"
for file in usr/bin/nudger usr/libexec/nudger/Nudger \
    usr/share/nudger/nudger.dat usr/share/nudger/Manual.html \
    usr/share/icons/hicolor/32x32/apps/nudger.png usr/share/applications/nudger.desktop \
    usr/share/metainfo/org.example.nudger.metainfo.xml usr/share/man/man1/nudger.1.gz \
    usr/share/doc/nudger/copyright usr/share/doc/nudger/changelog.gz; do
    [[ -s "$work/root/$file" ]] || fail "the package lacks /$file"
done
cmp -s "$work/root/usr/share/nudger/Manual.html" "$root/resources/Manual.html" ||
    fail "the packaged Manual.html is not the checkout's"
is_png "$work/root/usr/share/icons/hicolor/32x32/apps/nudger.png" ||
    fail "the packaged icon is not a PNG picture"
grep -qx 'Exec=/usr/bin/nudger' "$work/root/usr/share/applications/nudger.desktop" ||
    fail "the menu entry does not start /usr/bin/nudger:" \
        "$(grep '^Exec=' "$work/root/usr/share/applications/nudger.desktop")"
[[ "$(dpkg-deb -f "$deb" Version)" == "$version" ]] ||
    fail "the package has version $(dpkg-deb -f "$deb" Version), the project $version"
depends=$(dpkg-deb -f "$deb" Depends)
[[ "$depends" == *libqt6widgets6* ]] ||
    fail "dpkg-shlibdeps found no Qt libraries; Depends: $depends"

mkdir -p "$output"
mv -f "$deb" "$output/"
echo "package: $output/$(basename "$deb") ($(stat -c %s "$output/$(basename "$deb")") bytes)"
echo "package: Depends: $depends"
echo "package: Recommends: $(dpkg-deb -f "$output/$(basename "$deb")" Recommends)"
