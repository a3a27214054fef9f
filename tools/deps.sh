# Sourced by tools/test.sh and tools/run.sh: installs the Debian packages in
# tools/debian-packages.txt unless they are all present already.
nudger_install_deps()
{
    local list packages missing=()
    list="$(dirname "${BASH_SOURCE[0]}")/debian-packages.txt"
    mapfile -t packages < <(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$list")
    local p
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
    done
    if ((${#missing[@]} == 0)); then
        echo "All ${#packages[@]} packages are installed."
        return 0
    fi
    echo "Installing: ${missing[*]}"
    local sudo=()
    if ((EUID != 0)); then
        command -v sudo >/dev/null || { echo "Run as root or install sudo." >&2; return 1; }
        sudo=(sudo)
    fi
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
}
