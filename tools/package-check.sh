#!/bin/bash
# Checks a package built by tools/package.sh the way a writer's system meets
# it: lintian finds no error and no warning that is not accepted below; apt
# installs it; the menu entry, the software-centre entry and the manual page
# pass their validators; the launcher gives a user a start directory and
# Nudger starts there (on a private X server); apt removes every installed
# file and leaves each user's start directory and configuration alone.
#
#   bash tools/package-check.sh build-package/nudger_<version>_<arch>.deb
#
# It changes the system, so it runs as root on a machine where nudger is not
# installed (CI runs it after tools/package.sh); the developers' test suite
# does not run it. What it installed it removes, also when a step fails. It
# installs the tools it needs first (tools/deps.sh), unless
# NUDGER_SKIP_INSTALL=1.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

fail()
{
    echo "FAIL: $*" >&2
    exit 1
}

(($# == 1)) && [[ -f "$1" ]] || fail "usage: $0 PATH/nudger_<version>_<arch>.deb"
deb=$(realpath "$1")
((EUID == 0)) || fail "run as root: the check installs and removes the package"
installed()
{
    [[ "$(dpkg-query -W -f='${Status}' nudger 2>/dev/null)" == *" installed" ]]
}
installed && fail "nudger is installed already; the check installs and removes its own, so remove it first"
if [[ "${NUDGER_SKIP_INSTALL:-}" != 1 ]]; then
    source "$root/tools/deps.sh"
    nudger_install_deps
fi

# Lintian warnings left in the package, each with the reason it stays. Any
# other warning, and any error, fails the check.
declare -A accepted_warnings=()

echo "== lintian $(lintian --version | awk '{ print $2 }')"
lintian_output=$(lintian --display-info "$deb" 2>&1 | grep -v '^running with root privileges') || true
printf '%s\n' "$lintian_output"
refused=0
while read -r level _ tag _; do
    case $level in
        E:)
            echo "lintian error: $tag" >&2
            refused=1
            ;;
        W:)
            if [[ -n "${accepted_warnings[$tag]:-}" ]]; then
                echo "accepted warning $tag: ${accepted_warnings[$tag]}"
            else
                echo "lintian warning not accepted: $tag" >&2
                refused=1
            fi
            ;;
    esac
done <<<"$lintian_output"
((refused == 0)) || fail "lintian refuses $(basename "$deb")"

# The real-window part needs the X server before anything is installed, so
# that a missing tool is found before the system is changed.
source "$root/tests/e2e/xvfb_env.sh"
NUDGER=unused NUDGER_CONFIG=unused
source "$root/tests/e2e/e2e_common.sh"

echo "== apt-get install $(basename "$deb")"
# Minimal Debian images keep dpkg from unpacking manual pages (a path-exclude
# in /etc/dpkg/dpkg.cfg.d); the last path filter that matches a file decides.
manpage=/usr/share/man/man1/nudger.1.gz
# Other package tools working at the same time only delay the check.
apt_options=(-o DPkg::Lock::Timeout=300)
excluded=false
while read -r filter pattern; do
    # shellcheck disable=SC2053 # the pattern is a glob
    if [[ "$manpage" == $pattern ]]; then
        [[ "$filter" == path-exclude ]] && excluded=true || excluded=false
    fi
done < <(cat /etc/dpkg/dpkg.cfg.d/* /etc/dpkg/dpkg.cfg 2>/dev/null |
    sed -n 's/^[[:space:]]*\(path-exclude\|path-include\)[[:space:]=]*\([^[:space:]]*\).*/\1 \2/p')
if $excluded; then
    echo "dpkg's path filters exclude $manpage on this machine: installing with --path-include for it"
    apt_options+=(-o "Dpkg::Options::=--path-include=$manpage")
fi
nudger_on_exit 'installed && DEBIAN_FRONTEND=noninteractive apt-get remove -y "${apt_options[@]}" nudger >/dev/null'
DEBIAN_FRONTEND=noninteractive apt-get install -y "${apt_options[@]}" "$deb" ||
    fail "apt-get install $(basename "$deb") failed"
installed || fail "apt-get left nudger uninstalled"

echo "== validators"
desktop-file-validate /usr/share/applications/nudger.desktop ||
    fail "desktop-file-validate rejects nudger.desktop"
appstreamcli validate --no-net /usr/share/metainfo/org.example.nudger.metainfo.xml ||
    fail "appstreamcli rejects the metainfo file"
[[ "$(man -w nudger)" == "$manpage" ]] || fail "man -w nudger finds \"$(man -w nudger 2>&1)\", not $manpage"
echo "man -w nudger: $manpage"

echo "== first start through /usr/bin/nudger"
home="$NUDGER_WORK/home"
mkdir -p "$home"
nudger_start_through_launcher /usr "$home/.local/share/nudger" HOME="$home"
nudger_start_through_launcher /usr "$NUDGER_WORK/data/nudger" HOME="$home" XDG_DATA_HOME="$NUDGER_WORK/data"
starts=("$home/.local/share/nudger" "$NUDGER_WORK/data/nudger")
for start in "${starts[@]}"; do
    printf 'my text\n' >"$start/mine.txt"
done
# Every entry of the start directories (links with their targets) and the
# contents of the configuration and the writer's text.
user_files()
{
    local start
    for start in "${starts[@]}"; do
        (cd "$start" && find . -printf '%p %y %l\n' | sort && sha256sum Nudger.cfg mine.txt)
    done
}
before=$(user_files)

echo "== apt-get remove nudger"
mapfile -t owned < <(dpkg -L nudger)
DEBIAN_FRONTEND=noninteractive apt-get remove -y "${apt_options[@]}" nudger || fail "apt-get remove nudger failed"
installed && fail "nudger is still installed after apt-get remove"
left=()
for path in "${owned[@]}"; do
    # Shared folders such as /usr/share/man stay; nudger's own must go.
    if [[ -d "$path" && ! -L "$path" ]]; then
        [[ "$path" == */nudger ]] && left+=("$path")
    elif [[ -e "$path" || -L "$path" ]]; then
        left+=("$path")
    fi
done
((${#left[@]} == 0)) || fail "apt-get remove left installed files: ${left[*]}"
after=$(user_files)
[[ "$after" == "$before" ]] ||
    fail "the users' start directories changed on removal:" "$(diff <(echo "$before") <(echo "$after"))"
echo "removed ${#owned[@]} installed paths; the start directories and their Nudger.cfg stay"

echo "PASS: $(basename "$deb") installs, starts through its launcher and removes cleanly"
