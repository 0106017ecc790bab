#!/usr/bin/env bash
# Builds the kit and shows it at work on a machine of its own (a temporary directory): the
# machine is set up with qmctl, the plug-ins' trust chains are installed, and pages driven by
# nphost sign with an RSA key in a software provider and with an SM2 key on a USB token
# (SoftHSM2). Every message the pages get is checked with openssl. It ends with the environment
# assistant's full check on that machine: in its window when there is a display, else the page is
# saved as a PNG (build/demo/assistant-full-check.png) and the result codes it received are printed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "${QM_JOBS:-$(nproc)}"

work=$(mktemp -d /tmp/quillmark-demo.XXXXXX)
trap 'rm -rf "$work"' EXIT
export QM_MACHINE=$work/machine
qmctl() { build/bin/qmctl "$@"; }
nphost() { build/bin/nphost "$@"; }
signing=build/lib/npSigmora.Pellix.x86.so
token="Pellix Token CSP"
text=$(printf '\xe7\xad\xbe\xe5\x90\x8d: pay 100.00 to Quillmark')
step() { printf '\n== %s\n' "$*"; }

# Checks every "P7 <mode> <Base64>" line of a page's output with openssl.
verify_messages() { # verify_messages OUTPUT OPENSSL-ARGS...
  local out=$1; shift
  while read -r tag mode b64; do
    [ "$tag" = P7 ] || continue
    printf '%s' "$b64" | base64 -d >"$work/msg.p7"
    "$@" "$mode"
  done <"$out"
}

step "A new machine"
qmctl init
printf '%s' "$text" >"$work/content.bin"

step "NP_Install: the trust chains of the signing plug-in"
nphost --install "$signing"
echo "roots in the machine's ROOT store: $(qmctl store list machine ROOT | grep -c .)"
echo "intermediates in its CA store: $(qmctl store list machine CA | grep -c .)"

step "An RSA key made inside the Enhanced RSA and AES provider, certified by a demo CA"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/ca.key" -out "$work/ca.pem" -days 30 \
  -subj "/CN=Demo CA/O=Quillmark Demo/C=CN" 2>/dev/null
aes="Microsoft Enhanced RSA and AES Cryptographic Provider"
qmctl key gen "$aes" demo-signer 2 --bits 2048
qmctl key issue "$aes" demo-signer 2 "/CN=Demo Signer/O=Quillmark Demo/C=CN" "$work/ca.key" "$work/ca.pem"

step "Page: RSA signing"
nphost "$signing" demo/sign_rsa.js | tee "$work/rsa.txt" | cut -c1-110
rsa_check() {
  local args=(cms -verify -binary -inform DER -in "$work/msg.p7" -CAfile "$work/ca.pem" -out /dev/null)
  [ "$1" = detached ] && args+=(-content "$work/content.bin")
  openssl "${args[@]}" 2>/dev/null && echo "openssl cms -verify ($1): Verification successful"
}
verify_messages "$work/rsa.txt" rsa_check

step "A USB token with an SM2 key pair and its certificate"
qmctl token create "$token" >/dev/null
openssl genpkey -algorithm SM2 -out "$work/sm2.key" 2>/dev/null
openssl req -x509 -new -key "$work/sm2.key" -sm3 -sigopt distid:1234567812345678 -days 30 \
  -subj "/CN=Demo Token Signer/O=Quillmark Demo/C=CN" \
  -addext keyUsage=critical,digitalSignature -outform DER -out "$work/sm2.cer" 2>/dev/null
qmctl key import "$token" demo-token 1 "$work/sm2.key" "$work/sm2.cer"
qmctl key containers "$token"

step "Page: SM2 signing on the token"
sed "s|@PROVIDER@|$token|" demo/sign_sm2.js >"$work/sign_sm2.js"
nphost "$signing" "$work/sign_sm2.js" | tee "$work/sm2.txt" | cut -c1-110
openssl x509 -inform DER -in "$work/sm2.cer" -pubkey -noout >"$work/sm2pub.pem"
sm2_check() {
  # SM2 messages carry the national OIDs; the signature (the last OCTET STRING) is checked
  # over the content with SM3 and the default user id.
  openssl asn1parse -inform DER -in "$work/msg.p7" >"$work/asn1.txt"
  grep -o "OBJECT *:1.2.156.10197[0-9.]*" "$work/asn1.txt" | sed 's/OBJECT *:/  OID /' | sort -u
  tail -1 "$work/asn1.txt" | sed -n 's/.*OCTET STRING *\[HEX DUMP\]://p' | xxd -r -p >"$work/sig.der"
  openssl dgst -sm3 -verify "$work/sm2pub.pem" -sigopt distid:1234567812345678 -signature "$work/sig.der" \
    "$work/content.bin" | sed "s/^/openssl SM2 ($1): /"
}
verify_messages "$work/sm2.txt" sm2_check

step "Page: enrollment request (the key pair is made in the provider)"
enrolling=build/lib/npSigmora.RaraRividiveda.Pellix.x86.so
sed "s|@PROVIDER@|$aes|" demo/enroll_request.js >"$work/enroll_request.js"
nphost "$enrolling" "$work/enroll_request.js" | tee "$work/request.txt" | grep -v "^[A-Za-z0-9+/=]*$"
container=$(sed -n 's/^container //p' "$work/request.txt")
sed -n '/BEGIN CERTIFICATE REQUEST/,/END CERTIFICATE REQUEST/p' "$work/request.txt" >"$work/request.pem"
openssl req -in "$work/request.pem" -verify -noout -subject

step "The authority issues the certificate; the page installs it"
openssl x509 -req -in "$work/request.pem" -CA "$work/ca.pem" -CAkey "$work/ca.key" -set_serial 0x0E0C \
  -days 30 -outform DER -out "$work/issued.cer" 2>/dev/null
sed -e "s|@PROVIDER@|$aes|" -e "s|@CONTAINER@|$container|" -e "s|@CERT@|$(base64 -w0 "$work/issued.cer")|" \
  demo/enroll_install.js >"$work/enroll_install.js"
nphost "$enrolling" "$work/enroll_install.js"
qmctl store list user MY

step "The environment assistant's full check on this machine"
if [ -n "${DISPLAY:-}" ]; then
  echo "The assistant's window shows the full check; close it to end the demo."
  QM_PRESENT=gtk build/bin/QV_Assistant
else
  mkdir -p build/demo
  shot=$PWD/build/demo/assistant-full-check.png
  xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/assistant_fullcheck_shot "$shot" >"$work/codes.txt"
  echo "result codes the page received (code, status):"
  grep -v '^tip' "$work/codes.txt" | sed 's/^/  /'
  sed -n 's/^tip\t/the page says: /p' "$work/codes.txt"
  echo "the page: $shot"
fi
