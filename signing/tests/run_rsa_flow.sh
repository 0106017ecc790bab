#!/bin/bash
# RSA signing pages through nphost: a certificate in MY with its key in a software CSP,
# set up with qmctl; every message the page gets is checked with openssl cms.
#   run_rsa_flow.sh QMCTL NPHOST PLUGIN PAGES
set -u
QMCTL="$1" NPHOST="$2" PLUGIN="$3" PAGES="$4"
. "$(dirname "$0")/flow_setup.sh"
cert() { # cert NAME SUBJECT SERIAL
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$W/$1.key" -sha256 -subj "$2" -set_serial "$3" -days 30 \
        -addext keyUsage=critical,digitalSignature -outform DER -out "$W/$1.cer" 2>/dev/null || fail "openssl req $1"
}
# The text the pages sign, as UTF-8 bytes.
printf '\xe7\xad\xbe\xe5\x90\x8d text' >"$W/content.bin"

q init || fail "qmctl init"
cert page "/CN=Page Signer/O=Quillmark Test/C=CN" 0x00C35A
cert other "/CN=Other Signer/O=Quillmark Test/C=CN" 0x0A1B
cert full "/CN=Full Provider Signer/O=Quillmark Test/C=CN" 0x77
q key import "Microsoft Enhanced RSA and AES Cryptographic Provider" page 2 "$W/page.key" "$W/page.cer" || fail "import page"
q key import "Microsoft Enhanced RSA and AES Cryptographic Provider" other 2 "$W/other.key" "$W/other.cer" || fail "import other"
q key import "Microsoft Enhanced Cryptographic Provider v1.0" full 2 "$W/full.key" "$W/full.cer" || fail "import full"

sha1=$(openssl dgst -sha1 -binary "$W/content.bin" | base64 -w0)
sed -e "s|@SHA1@|$sha1|" "$PAGES/rsa_sign.js" >"$W/rsa_sign.js"

"$NPHOST" --machine "$W/m" "$PLUGIN" "$W/rsa_sign.js" >"$W/out.txt" 2>"$W/err.txt" || { fail "page rsa_sign"; cat "$W/err.txt"; }
grep -qx "select true" "$W/out.txt" || fail "selection"
grep -qx "info subjectcn Page Signer" "$W/out.txt" || fail "SubjectCN"
grep -qx "info SERIALNUMBER 00c35a" "$W/out.txt" || fail "SerialNumber"
grep -qx "info CSPName Microsoft Enhanced RSA and AES Cryptographic Provider" "$W/out.txt" || fail "CSPName"
grep -qx "info certtype RSA" "$W/out.txt" || fail "CertType"
grep -q "^info SubjectDN .*CN=Page Signer" "$W/out.txt" || fail "SubjectDN"
grep -q "^info IssuerDN .*O=Quillmark Test" "$W/out.txt" || fail "IssuerDN"
[ "$(sed -n 's/^content //p' "$W/out.txt")" == "$(base64 -w0 "$W/page.cer")" ] || fail "CertContent"
grep -qx 'SHA256: "Invalid hash algorithm.\\n(0xa0072020)"' "$W/out.txt" || fail "unknown hash name"

count=0
while read -r tag mode hash b64; do
    [ "$tag" == "P7" ] || continue
    count=$((count + 1))
    case "$b64" in *$'\r'* | "") fail "$mode $hash: empty or broken text" ;; esac
    printf '%s' "$b64" | base64 -d >"$W/msg.p7" || fail "$mode $hash: not Base64"
    args=(cms -verify -binary -noverify -inform DER -in "$W/msg.p7" -out "$W/verified.bin")
    [ "$mode" != attached ] && args+=(-content "$W/content.bin")
    openssl "${args[@]}" 2>"$W/cms.txt" || { fail "$mode $hash: openssl cms -verify"; cat "$W/cms.txt"; }
    cmp -s "$W/verified.bin" "$W/content.bin" || fail "$mode $hash: content"
    # The signer certificate is the one chosen, and only it.
    openssl pkcs7 -inform DER -in "$W/msg.p7" -print_certs -noout 2>/dev/null | grep -c "^subject" | grep -qx 1 ||
        fail "$mode $hash: certificates"
done <"$W/out.txt"
[ $count -eq 8 ] || fail "expected 8 messages, got $count"

"$NPHOST" --machine "$W/m" "$PLUGIN" "$PAGES/rsa_full_provider.js" >"$W/full.txt" 2>"$W/err.txt" ||
    { fail "page rsa_full_provider"; cat "$W/err.txt"; }
grep -qx "info CSPName Microsoft Enhanced Cryptographic Provider v1.0" "$W/full.txt" || fail "full CSPName"
grep -q '^SHA-256: ".*(0x80090008)"$' "$W/full.txt" || fail "SHA-256 in a PROV_RSA_FULL provider"
b64=$(sed -n 's/^P7 attached SHA-1 //p' "$W/full.txt")
printf '%s' "$b64" | base64 -d >"$W/full.p7"
openssl cms -verify -binary -noverify -inform DER -in "$W/full.p7" -out /dev/null 2>/dev/null || fail "full SHA-1"

[ -n "${SHOW_PAGES:-}" ] && cat "$W/out.txt" "$W/full.txt"
[ $failures -eq 0 ] || { echo "--- page output"; cat "$W/out.txt" "$W/full.txt"; exit 1; }
