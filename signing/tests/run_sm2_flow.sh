#!/bin/bash
# SM2 signing pages through nphost: a certificate held only in a token container (SoftHSM2
# behind the token CSP), set up with qmctl. Every message is parsed with openssl asn1parse,
# must carry the national OIDs, and its signature must verify with openssl's SM2.
#   run_sm2_flow.sh QMCTL NPHOST PLUGIN PAGES
set -u
QMCTL="$1" NPHOST="$2" PLUGIN="$3" PAGES="$4"
PROVIDER="Pellix Token CSP"
W=$(mktemp -d)
trap 'rm -rf "$W"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
q() { "$QMCTL" --machine "$W/m" "$@"; }
printf '\xe7\xad\xbe\xe5\x90\x8d text' >"$W/content.bin"

q init || fail "qmctl init"
q token create "$PROVIDER" >/dev/null || fail "token create"
openssl genpkey -algorithm SM2 -out "$W/sm2.key" 2>/dev/null || fail "SM2 key"
openssl req -x509 -new -key "$W/sm2.key" -sm3 -sigopt distid:1234567812345678 -subj "/CN=Token Signer/O=Quillmark Test/C=CN" \
    -set_serial 0x7F01 -days 30 -addext keyUsage=critical,digitalSignature -outform DER -out "$W/sm2.cer" 2>/dev/null ||
    fail "SM2 certificate"
q key import "$PROVIDER" signer 1 "$W/sm2.key" "$W/sm2.cer" || fail "key import"
openssl x509 -inform DER -in "$W/sm2.cer" -pubkey -noout >"$W/pub.pem"
openssl dgst -sm3 -binary "$W/content.bin" >"$W/digest.bin"
sed -e "s|@PROVIDER@|$PROVIDER|" -e "s|@SM3@|$(base64 -w0 "$W/digest.bin")|" "$PAGES/sm2_sign.js" >"$W/sm2_sign.js"

"$NPHOST" --machine "$W/m" "$PLUGIN" "$W/sm2_sign.js" >"$W/out.txt" 2>"$W/err.txt" || { fail "page sm2_sign"; cat "$W/err.txt"; }
grep -qx "select true" "$W/out.txt" || fail "selection"
grep -qx "info CSPName $PROVIDER" "$W/out.txt" || fail "CSPName"
grep -qx "info CertType SM2" "$W/out.txt" || fail "CertType"
grep -qx "info SubjectCN Token Signer" "$W/out.txt" || fail "SubjectCN"
grep -qx "info SerialNumber 7f01" "$W/out.txt" || fail "SerialNumber"

count=0
while read -r tag mode b64; do
    [ "$tag" == "P7" ] || continue
    count=$((count + 1))
    printf '%s' "$b64" | base64 -d >"$W/msg.p7" || fail "$mode: not Base64"
    openssl asn1parse -inform DER -in "$W/msg.p7" >"$W/asn1.txt" 2>&1 || { fail "$mode: asn1parse"; continue; }
    for oid in ":1.2.156.10197.6.1.4.2.2" ":1.2.156.10197.6.1.4.2.1" ":sm3" ":1.2.156.10197.1.301.1"; do
        grep -q "OBJECT *$oid\$" "$W/asn1.txt" || fail "$mode: OID $oid"
    done
    if [ "$mode" == attached ]; then
        grep -q "OCTET STRING *\[HEX DUMP\]:$(xxd -p -u "$W/content.bin" | tr -d '\n')\$" "$W/asn1.txt" ||
            fail "attached: content"
    elif grep -q "OCTET STRING *\[HEX DUMP\]:$(xxd -p -u "$W/content.bin" | tr -d '\n')\$" "$W/asn1.txt"; then
        fail "$mode: content inside a detached message"
    fi
    # The signature value is the last OCTET STRING: SEQUENCE { r, s }.
    tail -1 "$W/asn1.txt" | sed -n 's/.*OCTET STRING *\[HEX DUMP\]://p' | xxd -r -p >"$W/sig.der"
    if [ "$mode" == digest ]; then
        openssl pkeyutl -verify -pubin -inkey "$W/pub.pem" -in "$W/digest.bin" -sigfile "$W/sig.der" >/dev/null 2>&1 ||
            fail "digest: SM2 signature over the given digest"
    else
        # The default user id, which openssl dgst does not assume by itself.
        openssl dgst -sm3 -verify "$W/pub.pem" -sigopt distid:1234567812345678 -signature "$W/sig.der" \
            "$W/content.bin" >/dev/null 2>&1 ||
            fail "$mode: SM2 signature over the content"
    fi
done <"$W/out.txt"
[ $count -eq 3 ] || fail "expected 3 messages, got $count"

[ -n "${SHOW_PAGES:-}" ] && cat "$W/out.txt"
[ $failures -eq 0 ] || { echo "--- page output"; cat "$W/out.txt"; exit 1; }
