#!/bin/bash
# qmctl init and reg against a fresh machine: defaults, idempotence, value types, errors.
set -u
QMCTL="$1"
M=$(mktemp -d)
trap 'rm -rf "$M"' EXIT
failures=0
q() { "$QMCTL" --machine "$M" "$@"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect() { # expect WANTED ACTUAL LABEL
    [ "$1" == "$2" ] || fail "$3: wanted [$1], got [$2]"
}
status() { "$@" >/dev/null 2>&1; echo $?; }

# init makes the defaults, and a second init changes nothing.
q init || fail "init"
expect "REG_SZ 936" "$(q reg query 'HKLM\SYSTEM\CurrentControlSet\Control\Nls\CodePage' ACP)" "ACP"
expect "REG_SZ 0409" "$(q reg query 'HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Nls\Language' InstallLanguage)" "language"
nt='hklm\software\microsoft\windows nt\currentversion'
expect "REG_SZ 6.1" "$(q reg query "$nt" CurrentVersion)" "version"
expect "REG_SZ 7601" "$(q reg query "$nt" currentbuildnumber)" "build"
expect "REG_SZ Windows 7 Professional" "$(q reg query "$nt" ProductName)" "product"
expect "REG_SZ Service Pack 1" "$(q reg query "$nt" CSDVersion)" "service pack"
for d in Windows Windows/System32 Windows/Temp "Program Files" "Users/${USER:-$(id -un)}/AppData/Local/Temp"; do
    [ -d "$M/drive_c/$d" ] || fail "folder $d"
done
q reg set 'HKLM\SYSTEM\CurrentControlSet\Control\Nls\CodePage' ACP REG_SZ 1252 || fail "set ACP"
before=$(q reg dump)
q init || fail "second init"
expect "$before" "$(q reg dump)" "init is idempotent and keeps what was set"

# Every type round-trips.
k='HKCU\Software\Quillmark\Test'
q reg set "$k" Text REG_SZ 'hello "world"' || fail "set sz"
q reg set "$k" Path REG_EXPAND_SZ '%SystemRoot%\x' || fail "set expand"
q reg set "$k" Count REG_DWORD 0x2a || fail "set dword"
q reg set "$k" Big REG_QWORD 4294967296 || fail "set qword"
q reg set "$k" Bytes REG_BINARY 00ff10 || fail "set binary"
q reg set "$k" List REG_MULTI_SZ 'a\0b c\0中文' || fail "set multi"
q reg set "$k" Other REG_MULTI_SZ 'x|y' --separator '|' || fail "set multi sep"
q reg set "$k" @ REG_SZ default || fail "set default"
expect "REG_SZ hello \"world\"" "$(q reg query "$k" text)" "query sz"
expect "REG_DWORD 42" "$(q reg query "$k" COUNT)" "query dword"
expect "REG_QWORD 4294967296" "$(q reg query "$k" Big)" "query qword"
expect "REG_BINARY 00ff10" "$(q reg query "$k" Bytes)" "query binary"
expect 'REG_MULTI_SZ a\0b c\0中文' "$(q reg query "$k" List)" "query multi"
expect "REG_MULTI_SZ x;y" "$(q reg query "$k" Other --separator ';')" "query multi sep"
expect "REG_SZ default" "$(q reg query "$k" @)" "query default"
q reg set "$k\Sub" v REG_DWORD 1 || fail "set sub"

wanted='[HKEY_CURRENT_USER\Software\Quillmark\Test]
@=REG_SZ:"default"
"Big"=REG_QWORD:0x0000000100000000
"Bytes"=REG_BINARY:00ff10
"Count"=REG_DWORD:0x0000002a
"List"=REG_MULTI_SZ:"a","b c","中文"
"Other"=REG_MULTI_SZ:"x","y"
"Path"=REG_EXPAND_SZ:"%SystemRoot%\\x"
"Text"=REG_SZ:"hello \"world\""

[HKEY_CURRENT_USER\Software\Quillmark\Test\Sub]
"v"=REG_DWORD:0x00000001'
expect "$wanted" "$(q reg dump "$k")" "dump"
expect "[HKEY_CURRENT_USER\\software\\quillmark]
Test\\" "$(q reg query 'HKCU\software\quillmark')" "query key (the path as given)"

# Deleting values and whole subtrees.
q reg delete "$k" Count || fail "delete value"
expect 1 "$(status q reg query "$k" Count)" "deleted value is gone"
q reg delete 'HKCU\Software\Quillmark' || fail "delete tree"
expect 1 "$(status q reg query "$k")" "deleted tree is gone"

# Errors: bad command lines exit 2, failures 1, nothing is written.
expect 2 "$(status q reg set "$k" v REG_DWORD notanumber)" "bad dword"
expect 2 "$(status q reg set "$k" v REG_DWORD 0x100000000)" "dword too large"
expect 2 "$(status q reg set "$k" v REG_BINARY abc)" "odd hex"
expect 2 "$(status q reg set "$k" v REG_WHAT x)" "bad type"
expect 2 "$(status q reg set 'HKXX\Software' v REG_SZ x)" "bad root"
expect 2 "$(status q reg delete HKLM)" "root delete"
expect 2 "$(status q nosuchcommand)" "unknown command"
expect 1 "$(status q reg query "$k")" "bad input wrote nothing"
expect 1 "$(status q reg delete 'HKLM\SOFTWARE\Absent')" "delete missing"
"$QMCTL" --help | grep -q "qmctl reg dump" || fail "help lists reg dump"

# The machine can be chosen through QM_MACHINE as well.
expect "REG_SZ 1252" "$(QM_MACHINE="$M" "$QMCTL" reg query 'HKLM\SYSTEM\CurrentControlSet\Control\Nls\CodePage' ACP)" "QM_MACHINE"

# A machine hive that cannot be read: the lists fail with the registry's error, never print
# as empty.
q store list machine >/dev/null || fail "stores before the damage"
head -c 8192 /dev/zero | tr '\0' x >"$M/registry/HKLM.db"
expect 1 "$(status q store list machine)" "stores of a damaged hive"
expect "" "$(q store list machine 2>/dev/null)" "no stores printed"
q store list machine 2>&1 | grep -q "stores of machine: .* hive (" || fail "the error names the hive"
expect 1 "$(status q token list)" "tokens of a damaged hive"
q token pull 2>&1 | grep -q "token configuration: .* hive (" || fail "pull reads the damage, not no token"

[ $failures -eq 0 ] && echo "all passed"
exit $((failures > 0))
