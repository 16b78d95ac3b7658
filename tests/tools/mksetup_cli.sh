#!/usr/bin/env bash
# The real mksetup binary end to end: pack, list, verify, extract, damage
# detection, reproducible output, exit codes, the default image beside the
# tool, progress lines in a log. Usage: mksetup_cli.sh PATH/TO/mksetup
set -u
MKSETUP=$(realpath "$1")
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
cd "$T"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# expect RC CMD...: runs CMD, output to out/err, checks the exit status.
expect() {
  local want=$1; shift
  "$@" >out 2>err
  local rc=$?
  [ "$rc" -eq "$want" ] || fail "exit $rc (want $want): $* -- $(cat err)"
}

flip() {  # flip FILE OFFSET: inverts one byte in place
  local byte
  byte=$(od -An -tu1 -j "$2" -N1 "$1" | tr -d ' ')
  printf "$(printf '\\%03o' $((255 - byte)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

printf 'MZ' > stub.exe; head -c 4000 /dev/urandom >> stub.exe
mkdir -p p/DLL p/Upload
: > p/EMPTY.TXT
printf 'x' > p/ONE.TXT
head -c 32000 /dev/urandom > p/B32000.BIN
head -c 64001 /dev/urandom > p/DLL/B64001.BIN
head -c 10000000 /dev/urandom > p/Upload/RANDOM.BIN
yes 'line of a text file with some words in it' | head -c 10000000 > p/TEXT.TXT
printf 'dll' > p/wsock32.dll

expect 0 "$MKSETUP" -o SETUP.EXE --stub stub.exe -C p .
grep -q 'SETUP.EXE: 7 files' out || fail "summary: $(cat out)"
# Not a terminal: one progress line per large file, none for small ones.
[ "$(grep -c '^mksetup: compressing .* (10.0 MB)\.\.\.$' err)" -eq 2 ] || fail "progress lines: $(cat err)"
grep -q 'ONE.TXT' err && fail "progress for a small file"

expect 0 "$MKSETUP" --list SETUP.EXE
grep -q 'Image size:  4002 bytes' out || fail "list: $(cat out)"
grep -q 'wsock32.dll -> DLL\\WSOCK32.DLL' out || fail "list redirect: $(cat out)"

expect 0 "$MKSETUP" --verify SETUP.EXE
expect 0 "$MKSETUP" --extract SETUP.EXE x
for f in EMPTY.TXT ONE.TXT B32000.BIN DLL/B64001.BIN Upload/RANDOM.BIN TEXT.TXT; do
  cmp -s "p/$f" "x/$f" || fail "extracted $f differs"
done
cmp -s p/wsock32.dll x/DLL/WSOCK32.DLL || fail "WSOCK32.DLL not in DLL"

# Layout: F = P + S + N*264 + 276.
size=$(stat -c %s SETUP.EXE)
streams=$(awk '/^ +[0-9]+  0x/ {s += $1} END {print s}' <("$MKSETUP" --list SETUP.EXE))
[ "$size" -eq $((4002 + streams + 7 * 264 + 276)) ] || fail "file size $size, streams $streams"
cmp -s -n 4002 stub.exe SETUP.EXE || fail "image not at the start"

expect 0 "$MKSETUP" -q -o AGAIN.EXE --stub stub.exe -C p .
cmp -s SETUP.EXE AGAIN.EXE || fail "two runs differ"
[ -s out ] && fail "-q printed: $(cat out)"

# One changed byte in each region: first stream byte, inside the random
# file, the directory, its checksum, the trailer, the trailer checksum.
for off in 4002 $((4002 + 200000)) $((size - 276 - 3 * 264)) $((size - 276)) $((size - 100)) $((size - 1)); do
  cp SETUP.EXE BAD.EXE
  flip BAD.EXE "$off"
  expect 1 "$MKSETUP" --verify BAD.EXE
  grep -q '^mksetup: BAD.EXE: ' err || fail "verify at $off: $(cat err)"
done

expect 2 "$MKSETUP" --no-such-option
grep -q "^mksetup: unknown option '--no-such-option'" err || fail "usage: $(cat err)"
expect 1 "$MKSETUP" -o Y.EXE --stub stub.exe -C p MISSING.TXT
[ -e Y.EXE ] && fail "output left after a failure"
head -c 100 stub.exe > short.exe
expect 1 "$MKSETUP" --list short.exe
mkdir -p long && printf 'x' > "long/$(printf 'L%.0s' $(seq 1 210))"
expect 0 "$MKSETUP" -o LONG.EXE --stub stub.exe -C long .
grep -q '^mksetup: warning: .* 210 bytes; ' err || fail "no warning for a long name: $(cat err)"
expect 0 "$MKSETUP" --help
grep -q '^usage: mksetup' out || fail "help"

# Without --stub the tool takes setup.exe from its own folder.
mkdir bin && cp "$MKSETUP" bin/mksetup && cp stub.exe bin/setup.exe
expect 0 bin/mksetup -o DEFAULT.EXE -C p ONE.TXT
cmp -s -n 4002 stub.exe DEFAULT.EXE || fail "default image not used"
rm bin/setup.exe
# ... else the Windows build's setup program beside the host build.
mkdir -p b/host/tools/mksetup b/win/src && cp "$MKSETUP" b/host/tools/mksetup/ && cp stub.exe b/win/src/setup.exe
expect 0 b/host/tools/mksetup/mksetup -o DEFAULT3.EXE -C p ONE.TXT
cmp -s DEFAULT.EXE DEFAULT3.EXE || fail "Windows build's setup.exe not found"
expect 1 bin/mksetup -o DEFAULT2.EXE -C p ONE.TXT
grep -q 'give --stub IMAGE' err || fail "missing image: $(cat err)"

if [ "$failures" -ne 0 ]; then
  echo "$failures failures" >&2
  exit 1
fi
echo "mksetup command line: all checks passed"
