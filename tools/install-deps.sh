#!/bin/sh
# Installs the Debian packages of the given groups (default: build test) as listed in
# tools/debian-packages.  Runs apt-get directly as root, through sudo otherwise.
#   tools/install-deps.sh                 the build and the tests
#   tools/install-deps.sh build           the program and the library only
#   tools/install-deps.sh build test ci windows   everything .ci/run uses
set -eu
list="$(dirname "$0")/debian-packages"
[ "$#" -gt 0 ] || set -- build test
packages=""
for group in "$@"; do
  found=$(awk -v g="$group" '!/^#/ && NF >= 2 && $2 == g { print $1 }' "$list")
  if [ -z "$found" ]; then
    echo "install-deps: no group \"$group\" in $list (groups: build test ci windows)" >&2
    exit 2
  fi
  packages="$packages $found"
done
if ! command -v apt-get >/dev/null 2>&1; then
  echo "install-deps: apt-get not found; install these packages by hand:$packages" >&2
  exit 1
fi
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo=$(command -v sudo || true)
  if [ -z "$sudo" ]; then
    echo "install-deps: not root and no sudo; as root run: apt-get install -y$packages" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
# shellcheck disable=SC2086 # one word per package
$sudo apt-get install -y -qq --no-install-recommends $packages
