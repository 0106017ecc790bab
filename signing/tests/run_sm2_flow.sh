#!/bin/bash
# SM2 signing pages through nphost: a certificate held only in a token container (SoftHSM2
# behind the token CSP), set up with qmctl. Every message is parsed with openssl asn1parse,
# must carry the national OIDs, and its signature must verify with openssl's SM2.
#   run_sm2_flow.sh QMCTL NPHOST PLUGIN PAGES
set -u
QMCTL="$1" NPHOST="$2" PLUGIN="$3" PAGES="$4"
PROVIDER="Pellix Token CSP"
. "$(dirname "$0")/flow_setup.sh"
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
# Runs the page for a certificate's common name; the output goes to $W/$2.txt.
run_page() { # run_page CN NAME
    sed -e "s|@PROVIDER@|$PROVIDER|" -e "s|@CN@|$1|" -e "s|@SM3@|$(base64 -w0 "$W/digest.bin")|" \
        "$PAGES/sm2_sign.js" >"$W/$2.js"
    "$NPHOST" --machine "$W/m" "$PLUGIN" "$W/$2.js" >"$W/$2.txt" 2>"$W/err.txt" || { fail "page $2"; cat "$W/err.txt"; }
}

# Every message of a page's output: the national OIDs, the content where it belongs, and the
# signature verified against the public key (SM3 with that key's Z and the default user id).
check_messages() { # check_messages OUTPUT PUBLIC_KEY_PEM
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
            openssl pkeyutl -verify -pubin -inkey "$2" -in "$W/digest.bin" -sigfile "$W/sig.der" >/dev/null 2>&1 ||
                fail "digest: SM2 signature over the given digest"
        else
            # The default user id, which openssl dgst does not assume by itself.
            openssl dgst -sm3 -verify "$2" -sigopt distid:1234567812345678 -signature "$W/sig.der" \
                "$W/content.bin" >/dev/null 2>&1 ||
                fail "$mode: SM2 signature over the content"
        fi
    done <"$1"
    [ $count -eq 3 ] || fail "expected 3 messages in $1, got $count"
}

run_page "Token Signer" out
grep -qx "select true" "$W/out.txt" || fail "selection"
grep -qx "info CSPName $PROVIDER" "$W/out.txt" || fail "CSPName"
grep -qx "info CertType SM2" "$W/out.txt" || fail "CertType"
grep -qx "info SubjectCN Token Signer" "$W/out.txt" || fail "SubjectCN"
grep -qx "info SerialNumber 7f01" "$W/out.txt" || fail "SerialNumber"
check_messages "$W/out.txt" "$W/pub.pem"

# A container with two SM2 keys: a signature key (made on the token, its certificate issued
# by a test CA) and an exchange key. The page chooses the exchange key's certificate, so the
# exchange key signs, and its Z goes into the digest.
openssl genpkey -algorithm SM2 -out "$W/ca.key" 2>/dev/null || fail "CA key"
openssl req -x509 -new -key "$W/ca.key" -sm3 -sigopt distid:1234567812345678 -subj "/CN=Token Test CA/C=CN" \
    -days 30 -out "$W/ca.pem" 2>/dev/null || fail "CA certificate"
q key gen "$PROVIDER" pair 2 --sm2 || fail "signature key"
q key issue "$PROVIDER" pair 2 "/CN=Pair Signature Key/O=Quillmark Test/C=CN" "$W/ca.key" "$W/ca.pem" \
    --out "$W/pair-sign.cer" >/dev/null || fail "signature key certificate"
openssl genpkey -algorithm SM2 -out "$W/pair-enc.key" 2>/dev/null || fail "exchange key"
openssl req -x509 -new -key "$W/pair-enc.key" -sm3 -sigopt distid:1234567812345678 \
    -subj "/CN=Pair Exchange Key/O=Quillmark Test/C=CN" -set_serial 0x7F02 -days 30 \
    -addext keyUsage=critical,digitalSignature,keyEncipherment -outform DER -out "$W/pair-enc.cer" 2>/dev/null ||
    fail "exchange key certificate"
q key import "$PROVIDER" pair 1 "$W/pair-enc.key" "$W/pair-enc.cer" || fail "exchange key import"
q key containers "$PROVIDER" | grep -qx "pair.exchange.signature" || fail "two keys in the container"
openssl x509 -inform DER -in "$W/pair-enc.cer" -pubkey -noout >"$W/pair-enc.pub"
run_page "Pair Exchange Key" pair
grep -qx "select true" "$W/pair.txt" || fail "pair: selection"
grep -qx "info SubjectCN Pair Exchange Key" "$W/pair.txt" || fail "pair: SubjectCN"
grep -qx "info SerialNumber 7f02" "$W/pair.txt" || fail "pair: SerialNumber"
check_messages "$W/pair.txt" "$W/pair-enc.pub"

[ -n "${SHOW_PAGES:-}" ] && cat "$W/out.txt" "$W/pair.txt"
[ $failures -eq 0 ] || { echo "--- page output"; cat "$W/out.txt" "$W/pair.txt"; exit 1; }
