#!/bin/sh
# A machine without the build's libraries and font: configuring fails once, naming every missing Debian
# package, instead of stopping at the first one.
set -eu
source_dir=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
if cmake -S "$source_dir" -B "$tmp/build" -DCMAKE_DISABLE_FIND_PACKAGE_CLI11=ON \
  -DCMAKE_DISABLE_FIND_PACKAGE_nlohmann_json=ON -DCORVANTA_HERSHEY_FONT="$tmp/no/futural.jhf" >"$tmp/out" 2>&1; then
  echo "configure succeeded without its dependencies"
  exit 1
fi
out=$(tr -s ' \n' '  ' <"$tmp/out")
for package in libcli11-dev nlohmann-json3-dev hershey-fonts-data "apt-get install libcli11-dev nlohmann-json3-dev hershey-fonts-data"; do
  case "$out" in
  *"$package"*) ;;
  *) echo "the configure error does not name $package:"; cat "$tmp/out"; exit 1 ;;
  esac
done
