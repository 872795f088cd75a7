# Sourced by the steps of scripts/test (scripts/test.d/*.sh): how a step that cannot run
# here ends, and lines it adds to the summary scripts/test prints at the end.

# True when every step must run: in CI (CI=true) and when the whole suite was asked for
# (scripts/test --all, or VEXMAR_TEST_ALL=1).
whole_suite_required() { [ "${CI:-}" = true ] || [ "${VEXMAR_TEST_ALL:-0}" = 1 ]; }

# step_note TEXT: a line under the running step in scripts/test's summary.
step_note() {
  [ -z "${VEXMAR_STEP_NOTES:-}" ] || printf '%s\n' "$1" >>"$VEXMAR_STEP_NOTES"
}

# step_unavailable STEP REASON INSTALL: ends a step that cannot run on this machine. A
# failure when every step must run; otherwise a skip (exit 77) that scripts/test repeats,
# with the command that installs what the step lacks, in the last lines of its output.
step_unavailable() {
  local step=$1 reason=$2 install=$3
  if whole_suite_required; then
    echo "== $step: FAILED, cannot run here: $reason"
    echo "== $step: install what it lacks with: $install"
    step_note "cannot run here: $reason; install with: $install"
    exit 1
  fi
  echo "== $step: skipped: $reason"
  echo "== $step: install what it lacks with: $install"
  step_note "skipped: $reason; install with: $install"
  exit 77
}
