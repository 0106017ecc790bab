#!/bin/bash
# Runs one page script against the signing plug-in through nphost on a fresh machine and
# compares what the page printed with the expected text.
#   run_page.sh QMCTL NPHOST PLUGIN SCRIPT EXPECTED [UI-LANGUAGE]
set -u
QMCTL="$1" NPHOST="$2" PLUGIN="$3" SCRIPT="$4" EXPECTED="$5" LANGUAGE="${6:-}"
M=$(mktemp -d)
trap 'rm -rf "$M"' EXIT
"$QMCTL" --machine "$M" init || { echo "qmctl init failed"; exit 1; }
if [ -n "$LANGUAGE" ]; then
    "$QMCTL" --machine "$M" reg set 'HKLM\SYSTEM\CurrentControlSet\Control\Nls\Language' InstallLanguage REG_SZ "$LANGUAGE" ||
        { echo "cannot set the UI language"; exit 1; }
fi
"$NPHOST" --machine "$M" "$PLUGIN" "$SCRIPT" >"$M/out.txt" 2>"$M/err.txt"
status=$?
if [ $status -ne 0 ]; then
    echo "nphost exit status $status"
    cat "$M/err.txt"
    exit 1
fi
if ! diff -u "$EXPECTED" "$M/out.txt"; then
    echo "page output differs from $EXPECTED"
    exit 1
fi
