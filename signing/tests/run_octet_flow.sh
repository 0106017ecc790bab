#!/bin/bash
# A certificate whose names hold an OCTET STRING value (which OpenSSL will not read as a
# certificate, but Windows loads) through a page: it is listed in the selection dialog
# beside an ordinary one, chosen there, its names read, and it signs. openssl cannot parse
# the messages' certificate either, so each signature is checked against the key file's
# public key and the certificate in the message against the file.
#   run_octet_flow.sh QMCTL NPHOST PLUGIN PAGES OUTDIR
set -u
QMCTL="$1" NPHOST="$2" PLUGIN="$3" PAGES="$4" OUT="$5"
PROVIDER="Microsoft Enhanced RSA and AES Cryptographic Provider"
. "$(dirname "$0")/flow_setup.sh"
mkdir -p "$OUT"
hex() { xxd -p "$1" | tr -d '\n'; }
printf '\xe7\xad\xbe\xe5\x90\x8d text' >"$W/content.bin"

q init || fail "qmctl init"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$W/aster.key" -sha256 -subj "/CN=Aster Signer/O=Quillmark Octet/C=CN" \
    -set_serial 0x0A -days 30 -addext keyUsage=critical,digitalSignature -outform DER -out "$W/aster.cer" 2>/dev/null ||
    fail "openssl req aster"
q key import "$PROVIDER" aster 2 "$W/aster.key" "$W/aster.cer" || fail "import aster"

# The userId value, a UTF8String of 12 bytes, becomes an OCTET STRING of the same bytes in
# subject and issuer; the certificate is signed again over the changed TBSCertificate.
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$W/octet.key" -sha256 \
    -subj "/CN=Octet Signer/O=Quillmark Octet/UID=QmOctetValue" -set_serial 0x0B -days 30 \
    -addext keyUsage=critical,digitalSignature -outform DER -out "$W/plain.cer" 2>/dev/null || fail "openssl req octet"
hex "$W/plain.cer" | sed 's/0c0c516d4f6374657456616c7565/040c516d4f6374657456616c7565/g' | xxd -r -p >"$W/patched.cer"
[ "$(hex "$W/patched.cer" | grep -o 040c516d4f6374657456616c7565 | wc -l)" -eq 2 ] || fail "OCTET STRING in both names"
tbsLength=$((16#$(xxd -s 6 -l 2 -p "$W/patched.cer") + 4))
dd if="$W/patched.cer" of="$W/tbs.der" bs=1 skip=4 count=$tbsLength 2>/dev/null
openssl dgst -sha256 -sign "$W/octet.key" -out "$W/tbs.sig" "$W/tbs.der" || fail "signing the TBSCertificate"
total=$(stat -c %s "$W/patched.cer")
{ head -c $((total - 256)) "$W/patched.cer"; cat "$W/tbs.sig"; } >"$W/octet.cer"
openssl x509 -inform DER -in "$W/octet.cer" -noout 2>/dev/null && fail "openssl reads the OCTET STRING name"
openssl pkey -in "$W/octet.key" -pubout -out "$W/octet.pub" 2>/dev/null || fail "public key"
openssl dgst -sha256 -verify "$W/octet.pub" -signature "$W/tbs.sig" "$W/tbs.der" >/dev/null || fail "certificate signature"
q key import "$PROVIDER" octet 2 "$W/octet.key" "$W/octet.cer" || fail "import octet"

# Rows sort by name: Aster, Octet. Down and Enter choose the second.
"$NPHOST" --machine "$W/m" --dialog-input down,key:Return --dialog-png "$OUT/octet-dialog.png" "$PLUGIN" \
    "$PAGES/octet_sign.js" >"$W/out.txt" 2>"$W/err.txt" || { fail "page octet_sign"; cat "$W/err.txt"; }
value="#040C516D4F6374657456616C7565"
grep -qx "select true" "$W/out.txt" || fail "selection"
grep -qx "info SubjectCN Octet Signer" "$W/out.txt" || fail "SubjectCN"
grep -qx "info SubjectDN OID.0.9.2342.19200300.100.1.1=$value, O=Quillmark Octet, CN=Octet Signer" "$W/out.txt" ||
    fail "SubjectDN"
grep -qx "info IssuerDN OID.0.9.2342.19200300.100.1.1=$value, O=Quillmark Octet, CN=Octet Signer" "$W/out.txt" ||
    fail "IssuerDN"
[ "$(sed -n 's/^content //p' "$W/out.txt")" == "$(base64 -w0 "$W/octet.cer")" ] || fail "CertContent"

count=0
while read -r tag mode hash b64; do
    [ "$tag" == "P7" ] || continue
    count=$((count + 1))
    printf '%s' "$b64" | base64 -d >"$W/msg.p7" || { fail "$mode: not Base64"; continue; }
    case "$(hex "$W/msg.p7")" in *"$(hex "$W/octet.cer")"*) ;; *) fail "$mode: the chosen certificate" ;; esac
    openssl asn1parse -inform DER -in "$W/msg.p7" >"$W/asn1.txt" 2>&1 || { fail "$mode: asn1parse"; continue; }
    # The signature value is the last OCTET STRING, most significant byte first.
    tail -1 "$W/asn1.txt" | sed -n 's/.*OCTET STRING *\[HEX DUMP\]://p' | xxd -r -p >"$W/sig.bin"
    digest=$(echo "$hash" | tr -d '-' | tr 'A-Z' 'a-z')
    openssl dgst "-$digest" -verify "$W/octet.pub" -signature "$W/sig.bin" "$W/content.bin" >/dev/null 2>&1 ||
        fail "$mode $hash: RSA signature over the content"
done <"$W/out.txt"
[ $count -eq 2 ] || fail "expected 2 messages, got $count"

[ -n "${SHOW_PAGES:-}" ] && cat "$W/out.txt"
[ $failures -eq 0 ] || { echo "--- page output"; cat "$W/out.txt"; exit 1; }
