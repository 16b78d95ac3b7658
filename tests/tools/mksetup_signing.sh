#!/usr/bin/env bash
# An installer signed after packing, as a vendor publishes it: a throwaway
# certificate made with openssl, the installer signed with osslsigncode.
# The signature must verify without warnings, the signing must append nothing
# before its certificate table, and mksetup must still list, verify and
# extract the installer; for an i686 and an x86-64 stub alike. Usage: mksetup_signing.sh PATH/TO/mksetup
set -u
MKSETUP=$(realpath "$1")
TINY_PE="$(dirname "$(realpath "$0")")/tiny_pe.py"
for tool in openssl osslsigncode; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (scripts/bootstrap installs it)" >&2; exit 1; }
done
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
cd "$T"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
  -subj "/CN=Velto Test Vendor" >/dev/null 2>&1 || fail "openssl could not make a certificate"
mkdir p
head -c 300001 /dev/urandom > p/RANDOM.BIN
yes 'a line of text' | head -c 200000 > p/README.TXT

# signed KIND SECURITY_ENTRY TINY_PE_ARGS...: an installer with a stub of
# that kind, signed and checked; the security directory entry sits at
# SECURITY_ENTRY (optional header at 0x58: PE32 0x58+128, PE32+ 0x58+144).
signed() {
  local kind=$1 security=$2
  shift 2
  mkdir "$kind" && cd "$kind" || return
  python3 "$TINY_PE" stub.exe 4001 "$@"
  "$MKSETUP" -q -o SETUP.EXE --stub stub.exe -C ../p RANDOM.BIN README.TXT || fail "$kind: packing"
  osslsigncode sign -certs ../cert.pem -key ../key.pem -n "Velto - Technology Demo" \
    -in SETUP.EXE -out SIGNED.EXE >sign.log 2>&1 || fail "$kind: signing: $(cat sign.log)"
  osslsigncode verify -CAfile ../cert.pem -in SIGNED.EXE >verify.log 2>&1 || fail "$kind: verify: $(cat verify.log)"
  grep -q '^Signature verification: ok' verify.log || fail "$kind: verify: $(cat verify.log)"
  grep -qi 'warning' verify.log && fail "$kind: verify warns: $(grep -i warning verify.log)"

  # The certificate table starts where the unsigned installer ended.
  local unsigned table byte
  unsigned=$(stat -c %s SETUP.EXE)
  table=$(od -An -tu4 -j "$security" -N4 SIGNED.EXE | tr -d ' ')
  [ "$table" = "$unsigned" ] || fail "$kind: certificate table at $table, unsigned installer $unsigned bytes"
  cmp -s <(tail -c +$((security + 8 + 1)) SETUP.EXE) <(head -c "$unsigned" SIGNED.EXE | tail -c +$((security + 8 + 1))) ||
    fail "$kind: signing changed the installer beyond its header"

  "$MKSETUP" --verify SIGNED.EXE >out 2>err || fail "$kind: --verify: $(cat err)"
  "$MKSETUP" --list SIGNED.EXE >out 2>err || fail "$kind: --list: $(cat err)"
  grep -q '^Signature:   [0-9]* bytes after the trailer' out || fail "$kind: --list: $(cat out)"
  "$MKSETUP" --extract SIGNED.EXE x >out 2>err || fail "$kind: --extract: $(cat err)"
  cmp -s ../p/RANDOM.BIN x/RANDOM.BIN && cmp -s ../p/README.TXT x/README.TXT || fail "$kind: extracted files differ"

  # A byte changed in the payload breaks both the signature and the installer.
  cp SIGNED.EXE BAD.EXE
  byte=$(od -An -tu1 -j 5000 -N1 BAD.EXE | tr -d ' ')
  printf "$(printf '\\%03o' $((255 - byte)))" | dd of=BAD.EXE bs=1 seek=5000 conv=notrunc status=none
  cmp -s SIGNED.EXE BAD.EXE && fail "$kind: byte not changed"
  osslsigncode verify -CAfile ../cert.pem -in BAD.EXE >/dev/null 2>&1 && fail "$kind: changed file still verifies"
  "$MKSETUP" --verify BAD.EXE >/dev/null 2>&1 && fail "$kind: mksetup --verify accepts a changed file"
  cd ..
}
signed i686 $((0x58 + 128))
signed x86-64 $((0x58 + 144)) --machine 0x8664 --magic 0x20b

if [ "$failures" -ne 0 ]; then
  echo "$failures failures" >&2
  exit 1
fi
echo "signed installer: all checks passed"
