#!/usr/bin/env bash
# Runs the example host on the sample exam and compares its report with the expected
# one. The exam path is given relative to the source tree, as scripts/demo gives it,
# so the report does not depend on where the tree is checked out.
#   run_sample_exam.sh HOST SOURCE_DIR EXPECTED_REPORT
# With VEXMAR_UPDATE_EXPECTED=1 the expected report is rewritten instead.
set -euo pipefail
host=$1
source_dir=$2
expected=$3

actual=$(mktemp)
trap 'rm -f "$actual"' EXIT
cd "$source_dir"
"$host" --no-timing --no-progress examples/sample-exam >"$actual"

if [ "${VEXMAR_UPDATE_EXPECTED:-0}" = 1 ]; then
  cp "$actual" "$expected"
  echo "updated $expected"
  exit 0
fi
diff -u "$expected" "$actual"
