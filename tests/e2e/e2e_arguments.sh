# Sourceable first by the writer-facing end-to-end tests, with the script's
# own arguments: reads the four every one of them takes and finds this
# folder.
#
#   source "$(dirname "${BASH_SOURCE[0]}")/e2e_arguments.sh" "$@"
#
# Sets NUDGER (the program), NUDGER_CONFIG (the nudger_config tool),
# NUDGER_SOURCE_DIR, NUDGER_BUILD_DIR and e2e_dir (this folder).

if (($# < 4)); then
    echo "usage: $(basename "$0") NUDGER_BINARY CONFIG_TOOL SOURCE_DIR BUILD_DIR" >&2
    exit 2
fi
NUDGER=$(realpath "$1")
NUDGER_CONFIG=$(realpath "$2")
NUDGER_SOURCE_DIR=$(realpath "$3")
NUDGER_BUILD_DIR=$(realpath "$4")
e2e_dir="$NUDGER_SOURCE_DIR/tests/e2e"
