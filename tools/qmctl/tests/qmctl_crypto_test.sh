#!/bin/bash
# qmctl's key, store and token commands on a fresh machine: the platform's providers after
# init, an RSA key with its certificate in MY, a token with SM2 keys and certificates on
# them, certificates in system stores. Each command is a process of its own, so what one
# makes the next one finds.
set -u
QMCTL="$1"
M=$(mktemp -d)
W=$(mktemp -d)
trap 'rm -rf "$M" "$W"' EXIT
failures=0
q() { "$QMCTL" --machine "$M" "$@"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect() { # expect WANTED ACTUAL LABEL
    [ "$1" == "$2" ] || fail "$3: wanted [$1], got [$2]"
}
ossl() { openssl "$@" >/dev/null 2>&1 || fail "openssl $*"; }
ENH="Microsoft Enhanced Cryptographic Provider v1.0"
TOKEN="Pellix Smart Token CSP v1.0"

q init || fail "init"
expect "1	Microsoft Base Cryptographic Provider v1.0
1	$ENH
24	Microsoft Enhanced RSA and AES Cryptographic Provider
1	Microsoft Strong Cryptographic Provider" "$(q key providers)" "providers after init"
[ -L "$M/drive_c/Windows/System32/rsaenh.dll" ] || fail "rsaenh.dll in System32"
for lib in kernel32.dll ntdll.dll netapi32.dll advapi32.dll user32.dll; do
    expect libqmwin.so "$(basename "$(readlink "$M/drive_c/Windows/System32/$lib")")" "$lib in System32"
done

# An authority, and an RSA user key with its certificate.
ossl req -x509 -newkey rsa:2048 -nodes -keyout "$W/ca.key" -out "$W/ca.crt" -days 30 -subj "/CN=Test Root/O=Quillmark"
ossl req -newkey rsa:2048 -nodes -keyout "$W/user.key" -out "$W/user.csr" -subj "/CN=Alice/O=Quillmark"
ossl x509 -req -in "$W/user.csr" -CA "$W/ca.crt" -CAkey "$W/ca.key" -CAcreateserial -out "$W/user.crt" -days 10

q key import "$ENH" "{A11CE000-0000-4000-8000-000000000001}" 2 "$W/user.key" "$W/user.crt" || fail "import RSA"
expect "{A11CE000-0000-4000-8000-000000000001}	signature" "$(q key containers "$ENH")" "software containers"
thumb=$(openssl x509 -in "$W/user.crt" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g')
q store list user MY | grep -q "^$thumb	" || fail "the certificate is in MY"
q key import "$ENH" "{A11CE000-0000-4000-8000-000000000001}" 2 "$W/user.key" "$W/user.crt" || fail "import again"
expect 1 "$(q store list user MY | grep -c "^$thumb")" "importing again replaces the store copy"
expect "$ENH	{A11CE000-0000-4000-8000-000000000001}	2" "$(q store list user MY --keys | grep "^$thumb" | cut -f3-)" \
    "the store certificate's key link"
# --keys: the SHA-1 of the key's PUBLICKEYBLOB, built here from openssl's modulus (signature
# key: CALG_RSA_SIGN, "RSA1", 2048 bits, exponent 65537, modulus least significant byte first).
modulus=$(openssl rsa -in "$W/user.key" -noout -modulus | sed 's/Modulus=//')
blob_sha1=$(perl -e 'print pack("H*", "0602000000240000525341310008000001000100"), scalar reverse pack("H*", $ARGV[0])' \
    "$modulus" | openssl dgst -sha1 -r | cut -c1-40 | tr a-f A-F)
expect "{A11CE000-0000-4000-8000-000000000001}	signature	$blob_sha1	-" "$(q key containers "$ENH" --keys)" \
    "software container keys"

# Certificates into system stores of the user and the machine.
q store add machine ROOT "$W/ca.crt" || fail "add to the machine's ROOT"
ca_thumb=$(openssl x509 -in "$W/ca.crt" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g')
q store list machine ROOT | grep -q "^$ca_thumb	" || fail "ROOT lists the authority"
q store list machine | grep -qx ROOT || fail "the machine's stores include ROOT"
q store add user CA "$W/ca.crt" || fail "add to the user's CA"
q store list user CA | grep -q "^$ca_thumb	" || fail "CA lists the authority"

# A token, SM2 keys on it and certificates on the keys.
q token create "$TOKEN" >/dev/null || fail "token create"
expect "$TOKEN" "$(q token list)" "token list"
[ -L "$M/drive_c/Windows/System32/PellixCSP11_5150.dll" ] || fail "the PKCS#11 library's Windows name"
q key providers | grep -qx "1	$TOKEN" || fail "the token's provider is registered"
q key gen "$TOKEN" sm2-sign 2 --sm2 || fail "SM2 key on the token"
ossl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:SM2 -out "$W/sm2ca.key"
ossl req -x509 -new -key "$W/sm2ca.key" -out "$W/sm2ca.crt" -days 30 -subj "/CN=SM2 Root" -sm3 \
    -sigopt distid:1234567812345678
q key issue "$TOKEN" sm2-sign 2 "CN=Token User,O=Quillmark" "$W/sm2ca.key" "$W/sm2ca.crt" --out "$W/sm2.der" \
    || fail "certificate for the SM2 key"
expect "subject=CN = Token User, O = Quillmark" "$(openssl x509 -inform DER -in "$W/sm2.der" -noout -subject)" \
    "issued subject"
ossl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:SM2 -out "$W/enc.key"
q key import "$TOKEN" sm2-enc 1 "$W/enc.key" "$W/sm2.der" || fail "SM2 key imported onto the token"
q key gen "$TOKEN" rsa-sign 2 --bits 1024 || fail "RSA key on the token"
expect "rsa-sign	signature
sm2-enc	exchange
sm2-sign	signature" "$(q key containers "$TOKEN")" "token containers"
q store list user MY | grep -q "Token User" && fail "token certificates stay off MY"
sm2_thumb=$(openssl x509 -inform DER -in "$W/sm2.der" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g')
expect "sm2-enc	exchange	$sm2_thumb
sm2-sign	signature	$sm2_thumb" "$(q key containers "$TOKEN" --keys | grep ^sm2 | cut -f1,2,4)" \
    "certificates on the token keys"
keys=$(q key containers "$TOKEN" --keys | cut -f3 | sort -u | grep -c '^[0-9A-F]\{40\}$')
expect 3 "$keys" "three different token keys"
q key delete "$TOKEN" rsa-sign || fail "delete a token container"
expect "sm2-enc	exchange
sm2-sign	signature" "$(q key containers "$TOKEN")" "token containers after delete"

# The token pulled out of its reader and put back: the provider finds it only while it is in.
expect pkcs11device.so "$(basename "$(readlink "$M/drive_c/Windows/System32/PellixCSP11_5150.dll")")" \
    "the vendor library is the token device"
q token pull || fail "token pull"
q key containers "$TOKEN" >/dev/null 2>&1 && fail "containers of a pulled token"
q token insert || fail "token insert"
expect "sm2-enc	exchange
sm2-sign	signature" "$(q key containers "$TOKEN")" "token containers once put back"
q token pull NOSUCH 2>/dev/null && fail "pull a token the machine does not have"

# Errors: a missing container, an unknown provider, a bad file.
q key cert "$ENH" nowhere 1 "$W/user.crt" 2>/dev/null && fail "cert for a missing container"
q key gen "No Such CSP" c 1 2>/dev/null && fail "unknown provider"
echo "not a certificate" >"$W/bad.crt"
q store add user MY "$W/bad.crt" 2>/dev/null && fail "a bad certificate file"

[ "$failures" -eq 0 ] && echo "all qmctl crypto checks passed"
exit "$failures"
