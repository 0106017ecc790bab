#!/bin/bash
# nphost --install of a plug-in library on a fresh machine that holds discarded authority
# certificates: the discarded ones go, every unexpired root lands in the machine's root
# store (its registry Blob carries the certificate, checked with openssl), the bundles'
# unexpired intermediates in the machine's "CA" store, nothing expired anywhere, and a
# second install leaves exactly the same machine.
#   install-e2e.sh NPHOST QMCTL PLUGIN DATA_DIR DOCUMENT...
set -u
NPHOST="$1" QMCTL="$2" PLUGIN="$3" DATA="$4"
shift 4
M=$(mktemp -d)
trap 'rm -rf "$M"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
q() { "$QMCTL" --machine "$M" "$@"; }
LM='HKLM\SOFTWARE\Microsoft\SystemCertificates'
CU='HKCU\Software\Microsoft\SystemCertificates'

hex_of() { od -An -v -tx1 "$1" | tr -d ' \n'; }
le32() { local h="$1"; printf '%s%s%s%s' "${h:6:2}" "${h:4:2}" "${h:2:2}" "${h:0:2}"; }
# A certificate's registry form: the certificate record 32 only.
blob_of_pem() {
    openssl x509 -in "$1" -outform DER -out "$M/planted.der" || return 1
    local der len
    der=$(hex_of "$M/planted.der")
    len=$(printf '%08x' $(( ${#der} / 2 )))
    printf '2000000001000000%s%s' "$(le32 "$len")" "$der"
}
thumb_of_pem() { openssl x509 -in "$1" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g'; }
# The DER in record 32 of a Blob given as hex, written to a file.
blob_cert() {
    local hex="$1" out="$2" pos=0 id len
    while (( pos + 24 <= ${#hex} )); do
        id=$((16#$(le32 "${hex:pos:8}")))
        len=$((16#$(le32 "${hex:pos+16:8}")))
        if (( id == 32 )); then
            printf '%b' "$(printf '%s' "${hex:pos+24:len*2}" | sed 's/../\\x&/g')" > "$out"
            return 0
        fi
        pos=$(( pos + 24 + len * 2 ))
    done
    return 1
}

# init makes the system certificate stores' keys, as every Windows has them.
q init >/dev/null || fail "qmctl init"

# Left behind by earlier installations: a discarded root in the machine's root store and in
# the user's, a discarded intermediate in both "CA" stores.
root_pem="$DATA/discarded/rsa-g2-root.pem"
sub_pem="$DATA/discarded/sm2-g1-sub2.pem"
root_thumb=$(thumb_of_pem "$root_pem")
sub_thumb=$(thumb_of_pem "$sub_pem")
q reg set "$LM\\ROOT\\Certificates\\$root_thumb" Blob REG_BINARY "$(blob_of_pem "$root_pem")" || fail "plant root"
q reg set "$CU\\ROOT\\Certificates\\$root_thumb" Blob REG_BINARY "$(blob_of_pem "$root_pem")" || fail "plant user root"
q reg set "$LM\\CA\\Certificates\\$sub_thumb" Blob REG_BINARY "$(blob_of_pem "$sub_pem")" || fail "plant intermediate"
q reg set "$CU\\CA\\Certificates\\$sub_thumb" Blob REG_BINARY "$(blob_of_pem "$sub_pem")" || fail "plant user intermediate"

"$NPHOST" --machine "$M" --install "$PLUGIN" || fail "first install"
dump=$( (q reg dump "$LM"; q reg dump "$CU") )

key_present() { grep -qiF "[$1]" <<<"$dump"; }
key_present "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\SystemCertificates\\ROOT\\Certificates\\$root_thumb" && fail "discarded root still in the machine's root store"
key_present "HKEY_CURRENT_USER\\Software\\Microsoft\\SystemCertificates\\ROOT\\Certificates\\$root_thumb" || fail "the user's copy of a discarded root is kept"
grep -qiF "$sub_thumb" <<<"$dump" && fail "discarded intermediate still in a CA store"

roots=0 subs=0
for doc in "$@"; do
    while read -r name kind thumb validity subject; do
        [ "$name" == "$doc" ] || continue
        root_key="HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\SystemCertificates\\ROOT\\Certificates\\$thumb"
        ca_key="HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\SystemCertificates\\CA\\Certificates\\$thumb"
        if [ "$validity" == expired ]; then
            grep -qiF "$thumb" <<<"$dump" && fail "$doc: expired $kind $subject is installed"
        elif [ "$kind" == root ]; then
            roots=$((roots + 1))
            key_present "$root_key" || { fail "$doc: root $subject missing"; continue; }
            key_present "$ca_key" && fail "$doc: root $subject is in CA"
            blob=$(q reg query "${root_key/HKEY_LOCAL_MACHINE/HKLM}" Blob | sed 's/^REG_BINARY //')
            blob_cert "$blob" "$M/root.der" || { fail "$doc: no certificate record in $thumb"; continue; }
            got=$(openssl x509 -inform DER -in "$M/root.der" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g')
            [ "$got" == "$thumb" ] || fail "$doc: Blob of $thumb holds $got"
        else
            subs=$((subs + 1))
            key_present "$ca_key" || fail "$doc: intermediate $subject missing from CA"
        fi
    done < "$DATA/chains-manifest.txt"
done
# Nothing else: the installed roots and intermediates are exactly the expected ones.
got_roots=$(grep -ciE '^\[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\SystemCertificates\\ROOT\\Certificates\\[0-9A-F]{40}\]' <<<"$dump")
got_subs=$(grep -ciE '^\[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\SystemCertificates\\CA\\Certificates\\[0-9A-F]{40}\]' <<<"$dump")
[ "$got_roots" == "$roots" ] || fail "machine roots: wanted $roots, got $got_roots"
[ "$got_subs" == "$subs" ] || fail "machine CA: wanted $subs, got $got_subs"

"$NPHOST" --machine "$M" --install "$PLUGIN" || fail "second install"
[ "$dump" == "$( (q reg dump "$LM"; q reg dump "$CU") )" ] || fail "a second install changed the machine"

[ $failures -eq 0 ] && echo "ok: $roots roots, $subs intermediates"
exit $((failures > 0))
