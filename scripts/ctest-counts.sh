#!/usr/bin/env bash
# Counts a ctest log test by test: prints "<p> passed, <f> failed, <s> skipped" (and "<n> disabled"
# when a test was disabled; a test whose program is missing counts as failed, as ctest counts it). Exits non-zero when the counts do not add up to
# the total ctest names in its summary line, so a count can never be taken for the whole.
#
#   scripts/ctest-counts.sh <ctest output file>
set -euo pipefail
log=$1
passed=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* +Passed +[0-9.]+ sec' "$log" || true)
skipped=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*\*\*\*Skipped' "$log" || true)
disabled=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*\*\*\*Not Run \(Disabled\)' "$log" || true)
# Every other outcome ctest marks with *** (Failed, Timeout, Exception, Not Run, ...) is a failure.
marked=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*\*\*\*' "$log" || true)
failed=$((marked - skipped - disabled))
total=$(sed -n 's/.* tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n 1)
text="$passed passed, $failed failed, $skipped skipped"
[ "$disabled" -gt 0 ] && text="$text, $disabled disabled"
echo "$text"
# ctest's total counts every test it started: passed, failed and skipped ones (a disabled test is
# not in it; a test whose program is missing is, as a failure).
if [ -z "$total" ] || [ $((passed + failed + skipped)) -ne "$total" ]; then
  echo "ctest-counts: the counts do not add up to ctest's total (${total:-none})" >&2
  exit 1
fi
