#!/bin/sh
# Installs the build into a temporary prefix, checks the installed files, then
# builds and runs a small program outside the tree against the package.
set -eu
build=$1 consumer=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
for f in bin/corvanta-xr7 bin/corvanta-k730 include/corvanta/corvanta.h; do
  test -e "$tmp/prefix/$f" || { echo "missing $f"; exit 1; }
done
"$tmp/prefix/bin/corvanta-k730" --version | grep -qx "corvanta K730 03.10-01"
"$tmp/prefix/bin/corvanta-xr7" --help | grep -q "CVQX_OK"
cmake -S "$consumer" -B "$tmp/consumer" -DCMAKE_PREFIX_PATH="$tmp/prefix" >/dev/null
cmake --build "$tmp/consumer" >/dev/null
out=$("$tmp/consumer/consumer")
echo "$out"
test "$out" = "CVQX_OK 856" || { echo "unexpected estimate: $out"; exit 1; }
