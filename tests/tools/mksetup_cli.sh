#!/usr/bin/env bash
# The real mksetup binary end to end: pack, list, verify, extract, damage
# detection, reproducible output, exit codes, the default image beside the
# tool, progress lines in a log. Usage: mksetup_cli.sh PATH/TO/mksetup
set -u
MKSETUP=$(realpath "$1")
TINY_PE="$(dirname "$(realpath "$0")")/tiny_pe.py"
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

python3 "$TINY_PE" stub.exe 4000
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
image=$(sed -n 's/^Image size:  \([0-9]*\) bytes$/\1/p' out)
[ -n "$image" ] && [ "$image" -ge 4000 ] && [ "$image" -lt 4008 ] || fail "list: $(cat out)"
grep -q 'wsock32.dll -> DLL\\WSOCK32.DLL' out || fail "list redirect: $(cat out)"

expect 0 "$MKSETUP" --verify SETUP.EXE
expect 0 "$MKSETUP" --extract SETUP.EXE x
for f in EMPTY.TXT ONE.TXT B32000.BIN DLL/B64001.BIN Upload/RANDOM.BIN TEXT.TXT; do
  cmp -s "p/$f" "x/$f" || fail "extracted $f differs"
done
cmp -s p/wsock32.dll x/DLL/WSOCK32.DLL || fail "WSOCK32.DLL not in DLL"

# Layout: F = P + S + N*264 + 276, a multiple of 8, the image padded with
# zeros to P.
size=$(stat -c %s SETUP.EXE)
streams=$(awk '/^ +[0-9]+  0x/ {s += $1} END {print s}' <("$MKSETUP" --list SETUP.EXE))
[ "$size" -eq $((image + streams + 7 * 264 + 276)) ] || fail "file size $size, streams $streams"
[ $((size % 8)) -eq 0 ] || fail "file size $size not a multiple of 8"
cmp -s -n 4000 stub.exe SETUP.EXE || fail "image not at the start"
[ "$(tail -c +4001 SETUP.EXE | head -c $((image - 4000)) | tr -d '\0' | wc -c)" -eq 0 ] || fail "padding not zero"

expect 0 "$MKSETUP" -q -o AGAIN.EXE --stub stub.exe -C p .
cmp -s SETUP.EXE AGAIN.EXE || fail "two runs differ"
[ -s out ] && fail "-q printed: $(cat out)"

# One changed byte in each region: first stream byte, inside the random
# file, the directory, its checksum, the trailer, the trailer checksum.
for off in "$image" $((image + 200000)) $((size - 276 - 3 * 264)) $((size - 276)) $((size - 100)) $((size - 1)); do
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
cmp -s -n 4000 stub.exe DEFAULT.EXE || fail "default image not used"
rm bin/setup.exe
# ... else the Windows build's setup program beside the host build.
mkdir -p b/host/tools/mksetup b/win/src && cp "$MKSETUP" b/host/tools/mksetup/ && cp stub.exe b/win/src/setup.exe
expect 0 b/host/tools/mksetup/mksetup -o DEFAULT3.EXE -C p ONE.TXT
cmp -s DEFAULT.EXE DEFAULT3.EXE || fail "Windows build's setup.exe not found"
expect 1 bin/mksetup -o DEFAULT2.EXE -C p ONE.TXT
grep -q 'give --stub IMAGE' err || fail "missing image: $(cat err)"
# --arch x86-64: setup64.exe beside the tool, else the x86-64 build's; the
# file found must be of that kind. With --stub it is a command-line error.
python3 "$TINY_PE" x64.exe 4000 --machine 0x8664 --magic 0x20b
expect 1 bin/mksetup --arch x86-64 -o A64.EXE -C p ONE.TXT
grep -q 'no x86-64 setup program found' err || fail "missing x86-64 image: $(cat err)"
mkdir -p b/win64/src && cp x64.exe b/win64/src/setup.exe
expect 0 b/host/tools/mksetup/mksetup --arch x86-64 -o A64.EXE -C p ONE.TXT
cmp -s -n 4000 x64.exe A64.EXE || fail "x86-64 build's setup.exe not used"
cp stub.exe bin/setup64.exe
expect 1 bin/mksetup --arch x86-64 -o A64.EXE -C p ONE.TXT
grep -q "setup64.exe': an i686 program, not the x86-64 setup program asked for" err || fail "wrong kind: $(cat err)"
expect 2 bin/mksetup --arch x86-64 --stub x64.exe -o A64.EXE -C p ONE.TXT
expect 2 bin/mksetup --arch arm64 -o A64.EXE -C p ONE.TXT
grep -q "'--arch' takes i686 or x86-64" err || fail "bad --arch: $(cat err)"

# Refusals: one line naming the file, exit 1, nothing written, no input
# touched.
cp p/ONE.TXT one.bak && cp stub.exe stub.bak && ln p/ONE.TXT hardlink.exe
python3 "$TINY_PE" console.exe 4000 --subsystem 3
python3 "$TINY_PE" arm.exe 4000 --machine 0x1c4
mkdir -p names && printf 'c' > "names/caf$(printf '\303\251').txt" && printf 'C' > "names/CAF$(printf '\303\211').TXT"
mkdir -p han && printf 'h' > "han/$(printf '\346\274\242').txt"
mkdir -p huge && truncate -s 2G huge/BIG.BIN && truncate -s 1100M huge/A.BIN huge/B.BIN
refuse() {  # refuse MESSAGE ARGS...: exit 1 with one line holding MESSAGE
  local message=$1; shift
  expect 1 timeout 20 "$MKSETUP" "$@"
  [ "$(wc -l < err)" -eq 1 ] && grep -qF -- "$message" err || fail "$*: $(cat err)"
}
refuse "'p/ONE.TXT': is also a file to pack" -o p/ONE.TXT --stub stub.exe -C p ONE.TXT TEXT.TXT
refuse "'hardlink.exe': is also a file to pack" -o hardlink.exe --stub stub.exe -C p ONE.TXT
refuse "'./stub.exe': is the setup program" -o ./stub.exe --stub stub.exe -C p ONE.TXT
# The temporary output name counts too.
cp stub.exe x.exe.part
refuse "'x.exe': is the setup program" -o x.exe --stub x.exe.part -C p ONE.TXT
cmp -s stub.exe x.exe.part || fail "stub written over"
rm x.exe.part
refuse "'p/B32000.BIN': not a Windows program" -o N.EXE --stub p/B32000.BIN -C p ONE.TXT
refuse "'console.exe': a console program" -o N.EXE --stub console.exe -C p ONE.TXT
refuse "'arm.exe': not an i686 or x86-64 Windows program" -o N.EXE --stub arm.exe -C p ONE.TXT
refuse "does not exist in Windows code page 1252" -o N.EXE --stub stub.exe -C han .
refuse "same file as" -o N.EXE --stub stub.exe -C names .
refuse "'huge/BIG.BIN': 2 GiB or more" -o N.EXE --stub stub.exe -C huge BIG.BIN
refuse "'huge/B.BIN': with this file the installer would reach 2 GiB" -o N.EXE --stub stub.exe -C huge A.BIN B.BIN
cmp -s p/ONE.TXT one.bak && cmp -s stub.exe stub.bak || fail "an input changed"
ls N.EXE* x.exe* 2>/dev/null && fail "output left after a refusal"

# Names arrive in UTF-8 and are stored in code page 1252.
rm "names/CAF$(printf '\303\211').TXT"
expect 0 "$MKSETUP" -o CAFE.EXE --stub stub.exe -C names .
grep -qa "caf$(printf '\351').txt" CAFE.EXE || fail "name not stored in code page 1252"
expect 0 "$MKSETUP" --list CAFE.EXE
grep -q "caf$(printf '\303\251').txt" out || fail "list shows: $(cat out)"
expect 0 "$MKSETUP" --extract CAFE.EXE cafe
[ -f "cafe/caf$(printf '\303\251').txt" ] || fail "extracted as: $(ls cafe)"

expect 0 "$MKSETUP" --version
grep -q '^mksetup [0-9]' out || fail "version: $(cat out)"

if [ "$failures" -ne 0 ]; then
  echo "$failures failures" >&2
  exit 1
fi
echo "mksetup command line: all checks passed"
