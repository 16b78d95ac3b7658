#!/usr/bin/env bash
# The end-to-end driver selects without skipping: a pattern that matches no
# scenario, an empty scenario folder and two scenarios of one name each fail
# before anything runs. Usage: e2e_selection.sh SOURCE_DIR
set -u
DRIVER="$1/tests/e2e/driver.py"
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# expect RC ARGS...: runs the driver's list mode, checks the exit status.
expect() {
  local want=$1; shift
  python3 "$DRIVER" --list "$@" >"$T/out" 2>"$T/err"
  local rc=$?
  [ "$rc" -eq "$want" ] || fail "exit $rc (want $want): --list $* -- $(cat "$T/err")"
}

mkdir "$T/one" "$T/none" "$T/twice"
cat >"$T/one/a.py" <<'PY'
from e2elib import scenario
@scenario("alpha-one")
def a(s): pass
@scenario("alpha-two")
def b(s): pass
@scenario("beta")
def c(s): pass
PY
printf 'from e2elib import scenario\n@scenario("same")\ndef a(s): pass\n@scenario("same")\ndef b(s): pass\n' \
  >"$T/twice/a.py"

expect 0 --scenario-dir "$T/one"
[ "$(cat "$T/out")" = "$(printf 'alpha-one\nalpha-two\nbeta')" ] || fail "all three listed: $(cat "$T/out")"
expect 0 --scenario-dir "$T/one" 'alpha-*'
[ "$(wc -l <"$T/out")" -eq 2 ] || fail "alpha-* selects two: $(cat "$T/out")"
expect 1 --scenario-dir "$T/one" alpha
grep -q "no scenario matches 'alpha'" "$T/err" || fail "the unmatched pattern is named: $(cat "$T/err")"
expect 1 --scenario-dir "$T/one" beta 'gamma-*'
expect 1 --scenario-dir "$T/none"
expect 1 --scenario-dir "$T/twice"
# The real scenarios load and none is missing from the list.
expect 0
[ "$(wc -l <"$T/out")" -gt 0 ] || fail "no real scenario listed"

[ $failures -eq 0 ] && echo "e2e selection: all checks passed"
exit $((failures > 0))
