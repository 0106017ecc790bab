#!/bin/sh
# /RegServer writes the server's keys under HKCR exactly, a second /RegServer changes
# nothing, /UnregServer takes them away again; /Embedding keeps the program running.
# usage: regserver.sh QV_Assistant qmctl expected.txt
set -eu
program=$1 qmctl=$2 expected=$3
machine=$(mktemp -d)
trap 'rm -rf "$machine"' EXIT
export QM_MACHINE="$machine"
dump() { for k in AppID CLSID Interface Kivo.KivoProtocol Kivo.KivoProtocol.1 TypeLib; do
    "$qmctl" reg dump "HKCR\\$k" 2>/dev/null || true; done; }
want=$(sed -e "s|@MODULE@|$program|" -e "s|@MODULE_DIR@|${program%/*}|" "$expected")

"$program" /RegServer
[ "$(dump)" = "$want" ] || { echo "after /RegServer:"; dump | diff -u "$expected" - || true; exit 1; }
clsid='HKCR\CLSID\{76E04540-7128-4CA9-A02F-9ADA30DFD797}'
[ "$("$qmctl" reg query "$clsid\LocalServer32" @)" = "REG_SZ $program" ] || { echo "LocalServer32"; exit 1; }
[ "$("$qmctl" reg query 'HKCR\AppID\Kivo.EXE' AppID)" = "REG_SZ {AF292A48-E8B6-40F3-A619-DD6BC988C08A}" ] ||
    { echo "AppID of Kivo.EXE"; exit 1; }
"$program" /RegServer
[ "$(dump)" = "$want" ] || { echo "a second /RegServer changed the keys"; exit 1; }

"$program" /UnregServer
left=$(dump | grep -v '^$')
gone='[HKEY_CLASSES_ROOT\AppID]
[HKEY_CLASSES_ROOT\CLSID]
[HKEY_CLASSES_ROOT\Interface]
[HKEY_CLASSES_ROOT\TypeLib]'
[ "$left" = "$gone" ] || { echo "after /UnregServer:"; echo "$left"; exit 1; }
if "$qmctl" reg query "$clsid" >/dev/null 2>&1; then echo "the class is still there"; exit 1; fi
# Unregistering what is not there is no error.
"$program" /UnregServer

# Started for COM, the program stays up (without a dialog) until its clients let go.
"$program" /Embedding &
server=$!
sleep 1
kill -0 "$server" 2>/dev/null || { echo "/Embedding did not stay up"; exit 1; }
kill "$server"
echo ok
