#!/bin/bash
# The selection dialog through nphost: three RSA certificates in MY with keys in a software
# CSP match the page's filter (a fourth does not), so SelectCertificate shows the dialog and
# nphost plays the user's input into it. Rows sort by name without regard to case:
# alpha, Bravo, charlie. The list is raised to the top of the dialog's z-order, which makes
# it the first tab stop: the focus starts there, so arrow keys move the selection at once.
#   run_dialog_flow.sh QMCTL NPHOST PLUGIN PAGES OUTDIR
# OUTDIR receives the dialog as nphost rendered it, in English and in Chinese.
set -u
QMCTL="$1" NPHOST="$2" PLUGIN="$3" PAGES="$4" OUT="$5"
. "$(dirname "$0")/flow_setup.sh"
mkdir -p "$OUT"
language() {
    q reg set 'HKLM\SYSTEM\CurrentControlSet\Control\Nls\Language' InstallLanguage REG_SZ "$1" ||
        fail "UI language $1"
}
cert() { # cert NAME SUBJECT SERIAL
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$W/$1.key" -sha256 -subj "$2" -set_serial "$3" -days 30 \
        -addext keyUsage=critical,digitalSignature -outform DER -out "$W/$1.cer" 2>/dev/null || fail "openssl req $1"
    q key import "Microsoft Enhanced RSA and AES Cryptographic Provider" "$1" 2 "$W/$1.key" "$W/$1.cer" ||
        fail "import $1"
}
# A PNG as the dialog's size would give it: wider and higher than 300 pixels.
png() {
    local size
    size=$(od -An -tx1 -j16 -N8 "$1" 2>/dev/null | tr -d ' \n')
    [ "$(od -An -tx1 -N8 "$1" 2>/dev/null | tr -d ' \n')" == 89504e470d0a1a0a ] || { fail "$1 is not a PNG"; return; }
    [ $((16#${size:0:8})) -gt 300 ] && [ $((16#${size:8:8})) -gt 300 ] || fail "$1: ${size} is no dialog"
}

q init || fail "qmctl init"
cert charlie "/CN=charlie Signer/O=Quillmark Dialog/C=CN" 0x0C
cert bravo "/CN=Bravo Signer/O=Quillmark Dialog/C=CN" 0x0B
cert alpha "/CN=alpha Signer/O=Quillmark Dialog/C=CN" 0x0A
cert aardvark "/CN=aardvark Signer/O=Elsewhere/C=CN" 0x01
printf 'dialog choice' >"$W/content.bin"
language 0409

# choose INPUT NAME SERIAL [nphost options]: the row the input picks signs the message.
choose() {
    local input="$1" name="$2" serial="$3"
    shift 3
    "$NPHOST" --machine "$W/m" --dialog-input "$input" "$@" "$PLUGIN" "$PAGES/dialog_choose.js" \
        >"$W/out.txt" 2>"$W/err.txt" || { fail "$input: nphost"; cat "$W/err.txt" "$W/out.txt"; return; }
    grep -qx "select true" "$W/out.txt" || { fail "$input: selection"; cat "$W/out.txt"; return; }
    grep -qx "info SubjectCN $name Signer" "$W/out.txt" || fail "$input: chose $(grep SubjectCN "$W/out.txt")"
    grep -qx "info SerialNumber $serial" "$W/out.txt" || fail "$input: serial"
    sed -n 's/^P7 //p' "$W/out.txt" | base64 -d >"$W/msg.p7" || fail "$input: not Base64"
    openssl cms -verify -binary -noverify -inform DER -in "$W/msg.p7" -out "$W/verified.bin" 2>"$W/cms.txt" ||
        { fail "$input: openssl cms -verify"; cat "$W/cms.txt"; }
    cmp -s "$W/verified.bin" "$W/content.bin" || fail "$input: content"
    openssl pkcs7 -inform DER -in "$W/msg.p7" -print_certs -noout 2>/dev/null | grep -q "^subject=CN *= *$name Signer," ||
        fail "$input: signer certificate"
}
choose key:Return alpha 0a --dialog-png "$OUT/dialog-en.png"
choose down,key:Return Bravo 0b
choose down,down,key:Return charlie 0c
png "$OUT/dialog-en.png"

# cancel LANGUAGE INPUT: a first selection by Enter, then the abandoned one.
cancel() {
    local lang="$1" input="$2"
    shift 2
    "$NPHOST" --machine "$W/m" --dialog-input key:Return --dialog-input "$input" "$@" "$PLUGIN" \
        "$PAGES/dialog_cancel.js" >"$W/out.txt" 2>"$W/err.txt" || { fail "$lang $input: nphost"; cat "$W/err.txt"; }
    diff -u "$PAGES/dialog_cancel.$lang.out" "$W/out.txt" || fail "$lang $input: page output"
}
for input in key:Escape close click:Cancel; do
    cancel en "$input"
done
language 0804
cancel zh key:Escape --dialog-png "$W/unused.png" --dialog-png "$OUT/dialog-zh.png"
cancel zh close
cancel zh 'click:取消'
png "$OUT/dialog-zh.png"

[ $failures -eq 0 ] || exit 1
