#!/usr/bin/env bash
# make_token_machine.sh QMCTL MACHINE: a machine from qmctl init with one token in its
# reader, holding an SM2 key and its certificate (valid for 60 days) from a test authority.
set -euo pipefail
qmctl=$1 machine=$2
provider="Ostrel Ravo5150 CSP For Pellix v1.0"
q() { "$qmctl" --machine "$machine" "$@"; }
q init
q token create "$provider" >/dev/null
q key gen "$provider" signer 2 --sm2
openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:SM2 -out "$machine/ca.key" 2>/dev/null
openssl req -x509 -new -key "$machine/ca.key" -out "$machine/ca.crt" -days 60 -subj /CN=CA -sm3 \
  -sigopt distid:1234567812345678 2>/dev/null
q key issue "$provider" signer 2 CN=Holder "$machine/ca.key" "$machine/ca.crt" --out "$machine/holder.der" >/dev/null
