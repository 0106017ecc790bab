# Sourced by the page flows: $W a scratch folder that goes at exit, holding the machine
# $W/m that q runs qmctl on; fail counts each failure in $failures.
W=$(mktemp -d)
trap 'rm -rf "$W"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
q() { "$QMCTL" --machine "$W/m" "$@"; }
