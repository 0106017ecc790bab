#!/usr/bin/env bash
# Builds the kit and shows it at work on a machine of its own (a temporary directory):
# the machine is set up with qmctl, and page scripts drive the plug-ins through nphost.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
machine=$(mktemp -d /tmp/quillmark-demo.XXXXXX)
trap 'rm -rf "$machine"' EXIT
export QM_MACHINE=$machine
build/bin/qmctl init
for page in demo/*.js; do
  plugin=$(sed -n 's|^// plugin: *||p' "$page")
  echo "== $page ($plugin)"
  build/bin/nphost "build/lib/$plugin" "$page"
done
