#!/bin/sh
# Installs the build into a temporary prefix and checks the installed files: the programs, their man pages
# and completion, the headers, the licence; then builds and runs a C++ project outside the tree against the
# CMake package with clang++ at its default standard (g++ where there is no clang++), and a C program
# against the pkg-config file.
set -eu
build=$1 consumer=$2 version=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
p=$tmp/prefix
for f in bin/corvanta-xr7 bin/corvanta-k730 include/corvanta/corvanta.h include/corvanta/explain.h \
  include/corvanta/plot.h include/corvanta/corvanta_c.h share/man/man1/corvanta-xr7.1 share/man/man1/corvanta-k730.1 \
  share/bash-completion/completions/corvanta-xr7 share/bash-completion/completions/corvanta-k730 \
  share/doc/corvanta/LICENSE share/doc/corvanta/THIRD-PARTY-NOTICES.md; do
  test -e "$p/$f" || { echo "missing $f"; exit 1; }
done
pc=$(find "$p" -name corvanta.pc)
test -n "$pc" || { echo "missing corvanta.pc"; exit 1; }
# Each man page is its program's, with examples, and no template placeholder is left.
for model in xr7 k730; do
  page=$p/share/man/man1/corvanta-$model.1
  grep -q "^corvanta-$model \\\\-" "$page" || { echo "corvanta-$model.1 does not name its program"; exit 1; }
  grep -q "^\.SH EXAMPLES" "$page" || { echo "corvanta-$model.1 has no examples"; exit 1; }
  if grep -q "@" "$page"; then echo "corvanta-$model.1 keeps a placeholder"; exit 1; fi
done
# The completion completes options and the program's own debug category names.
completed=$(PATH="$p/bin:$PATH" bash -c '. "$1"; COMP_WORDS=(corvanta-xr7 --debug Event,-ShowJ); COMP_CWORD=2;
  _corvanta; echo "${COMPREPLY[*]}"; COMP_WORDS=(corvanta-k730 --trace); COMP_CWORD=1; _corvanta;
  echo "${COMPREPLY[*]}"' sh "$p/share/bash-completion/completions/corvanta-xr7")
test "$completed" = "$(printf 'Event,-ShowJobTime\n--trace-ticks')" || { echo "completion: $completed"; exit 1; }
test "$("$p/bin/corvanta-k730" --version)" = "corvanta $version (K730 03.10-01)" || { echo "wrong --version"; exit 1; }
"$p/bin/corvanta-xr7" --help | grep -q "for the XR7 model"

cxx=$(command -v clang++ || command -v c++)
cmake -S "$consumer" -B "$tmp/consumer" -DCMAKE_PREFIX_PATH="$p" -DCMAKE_CXX_COMPILER="$cxx" >/dev/null
cmake --build "$tmp/consumer" >/dev/null
out=$("$tmp/consumer/consumer")
test "$out" = "CVQX_OK 856 856" || { echo "unexpected C++ estimate: $out"; exit 1; }

if command -v pkg-config >/dev/null 2>&1; then
  export PKG_CONFIG_PATH
  PKG_CONFIG_PATH=$(dirname "$pc")
  test "$(pkg-config --modversion corvanta)" = "$version" || { echo "wrong pkg-config version"; exit 1; }
  # shellcheck disable=SC2046 # the flags are words
  cc "$consumer/main.c" -o "$tmp/c_consumer" $(pkg-config --cflags --libs corvanta) -Wl,-rpath,"$(dirname "$(dirname "$pc")")"
  out=$("$tmp/c_consumer")
  test "$out" = "CVQX_OK 856" || { echo "unexpected C estimate: $out"; exit 1; }
fi
echo "installed, consumed with $cxx and from C"
