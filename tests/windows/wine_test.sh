#!/bin/sh
# The Windows build under Wine, against the Linux build: every example's status file byte for byte (the
# host-time line aside) and its console, both models; the program's own directory taken from a Windows
# argv[0]; a missing job folder; the atomic replace of an earlier status file; the C interface's test.
#   tests/windows/wine_test.sh LINUX_BUILD MINGW_BUILD
set -eu
linux=$1 mingw=$2
src=$(cd "$(dirname "$0")/../.." && pwd)
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
tmp=$(mktemp -d)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
# The prefix's own server is stopped before the prefix is removed (other prefixes are not touched).
trap '"$wineserver" -k 2>/dev/null; rm -rf "$tmp"' EXIT
export WINEPREFIX="$tmp/wineprefix" WINEDEBUG=-all
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
# The host time of the estimate is the one line that may differ between two runs.
status_of() { sed 's/APP Run Time [0-9]*ms/APP Run Time -ms/' "$1"; }

"$wine" "$mingw/xr7/corvanta.exe" --version >"$tmp/version" 2>/dev/null || true
grep -q "^corvanta .* (XR7 03.10-01)" "$tmp/version" || fail "--version under Wine: $(cat "$tmp/version")"

for example in "$src"/examples/*/; do
  name=$(basename "$example")
  for model in xr7 k730; do
    mkdir -p "$tmp/linux/$name.$model" "$tmp/win/$name.$model"
    cp "$example/Corvanta.cmd" "$tmp/linux/$name.$model/"
    cp "$example/Corvanta.cmd" "$tmp/win/$name.$model/"
    "$linux/$model/corvanta" "$tmp/linux/$name.$model" >"$tmp/linux/$name.$model.out"
    # The console is a text stream on Windows: each line feed is written as CR LF there (the console's own
    # line ends are LF CR, so a CR before a LF can only be the stream's).
    "$wine" "$mingw/$model/corvanta.exe" "$tmp/win/$name.$model" | perl -pe 's/\r\n\z/\n/' >"$tmp/win/$name.$model.out" ||
      fail "$name $model: exit status"
    status_of "$tmp/linux/$name.$model/Corvanta.sts" >"$tmp/linux.sts"
    status_of "$tmp/win/$name.$model/Corvanta.sts" >"$tmp/win.sts"
    cmp -s "$tmp/linux.sts" "$tmp/win.sts" || fail "$name $model: the status files differ"
    cmp -s "$tmp/linux/$name.$model.out" "$tmp/win/$name.$model.out" || fail "$name $model: the consoles differ"
    [ "$(ls "$tmp/win/$name.$model")" = "$(printf 'Corvanta.cmd\nCorvanta.sts')" ] ||
      fail "$name $model: files left beside the status: $(ls "$tmp/win/$name.$model")"
  done
done
# The line ends are the machine's: 0D 0A 0D after every line.
od -An -c "$tmp/win/rectangle.xr7/Corvanta.sts" | tr -s ' ' | grep -q 'K \\r \\n \\r' ||
  fail "status line ends: $(od -An -c "$tmp/win/rectangle.xr7/Corvanta.sts" | head -2)"

# No JOBDIR: the job files are next to the program, found from argv[0] (Z:\...\corvanta.exe under Wine).
mkdir -p "$tmp/self"
cp "$mingw/xr7/corvanta.exe" "$src/examples/circle/Corvanta.cmd" "$tmp/self/"
(cd / && "$wine" "$tmp/self/corvanta.exe" >/dev/null) || fail "own directory: exit status"
status_of "$tmp/self/Corvanta.sts" >"$tmp/self.sts" 2>/dev/null || true
cmp -s "$tmp/self.sts" "$(status_of "$tmp/linux/circle.xr7/Corvanta.sts" >"$tmp/c.sts" && echo "$tmp/c.sts")" ||
  fail "own directory: no or another status"

# A job folder that does not exist: exit status 1, a reason, nothing created.
set +e
"$wine" "$mingw/xr7/corvanta.exe" "$tmp/no-such-job" >/dev/null 2>"$tmp/err"
rc=$?
set -e
[ "$rc" -eq 1 ] || fail "missing job folder: exit status $rc"
grep -q "does not exist" "$tmp/err" || fail "missing job folder: $(cat "$tmp/err")"
[ ! -e "$tmp/no-such-job" ] || fail "missing job folder: created"

# An earlier status file is replaced as a whole; when there is no command file it is removed.
mkdir -p "$tmp/replace"
cp "$src/examples/rectangle/Corvanta.cmd" "$tmp/replace/"
printf 'stale answer that is longer than the new one, to see no tail of it survives\r\n\r\n\r\n\r\n\r\n' \
  >"$tmp/replace/Corvanta.sts"
"$wine" "$mingw/xr7/corvanta.exe" --quiet "$tmp/replace" >/dev/null || fail "replace: exit status"
status_of "$tmp/replace/Corvanta.sts" >"$tmp/replace.sts"
status_of "$tmp/linux/rectangle.xr7/Corvanta.sts" >"$tmp/r.sts"
cmp -s "$tmp/replace.sts" "$tmp/r.sts" || fail "replace: the status file is not the new one"
rm "$tmp/replace/Corvanta.cmd"
set +e
"$wine" "$mingw/xr7/corvanta.exe" "$tmp/replace" >/dev/null 2>&1
rc=$?
set -e
[ "$rc" -eq 1 ] && [ -z "$(ls "$tmp/replace")" ] || fail "no command file: exit $rc, left $(ls "$tmp/replace")"

# The C interface on Windows.
if [ -e "$mingw/tests/test_capi.exe" ]; then
  "$wine" "$mingw/tests/test_capi.exe" "$src/tests/golden/reference" || fail "the C interface's test"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures Windows checks failed"
  exit 1
fi
echo "Windows build under Wine: all checks passed"
