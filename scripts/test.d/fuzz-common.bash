# Shared by the fuzz-*.sh scripts (sourced; not a test step of its own).
#
# VEXMAR_FUZZ_SECONDS: run time of each fuzzer (default 15).
# VEXMAR_EXTERNAL_WORKBOOKS: a folder of real workbooks that seeds every target when it
#   exists, read in place (default: shared/external-workbooks beside the main checkout).
# A crashing, leaking or slow input is kept in build/fuzz/artifacts/<target>-*, and the
# script fails with the fuzzer's report.

fuzz_seconds=${VEXMAR_FUZZ_SECONDS:-15}
fuzz_artifacts=build/fuzz/artifacts
mkdir -p "$fuzz_artifacts"

# The external seed folder, or nothing when there is none.
fuzz_external_dir() {
  local dir=${VEXMAR_EXTERNAL_WORKBOOKS:-}
  if [ -z "$dir" ]; then
    local common
    common=$(git rev-parse --path-format=absolute --git-common-dir 2>/dev/null || true)
    dir=${common:+$common/../../shared/external-workbooks}
  fi
  [ -n "$dir" ] && [ -d "$dir" ] && (cd "$dir" && pwd)
  return 0
}

# Seed folders per target made from the external workbooks, under build/fuzz; prints
# their parent, or nothing without the external folder or Python.
fuzz_external_seeds() {
  local dir out=build/fuzz/seeds-external
  dir=$(fuzz_external_dir)
  [ -n "$dir" ] && [ -x /usr/bin/python3 ] || return 0
  if [ ! -d "$out" ]; then
    /usr/bin/python3 fuzz/make_external_seeds.py "$dir" "$out.tmp" >&2 && mv "$out.tmp" "$out"
  fi
  echo "$out"
}

# fuzz_run TARGET CORPUS_DIR SEED_DIR...: new inputs go to CORPUS_DIR (kept between runs).
fuzz_run() {
  local target=$1 corpus=$2
  shift 2
  local seeds=()
  for d in "$@"; do [ -d "$d" ] && seeds+=("$d"); done
  mkdir -p "$corpus"
  local log=build/fuzz/$target.log
  echo "== [fuzz] $target for ${fuzz_seconds}s (seeds: ${seeds[*]:-none})"
  if ! "build/fuzz/fuzz/${target}_fuzzer" -max_total_time="$fuzz_seconds" -timeout=10 \
      -rss_limit_mb=2048 -malloc_limit_mb=64 -max_len=1048576 \
      -artifact_prefix="$fuzz_artifacts/$target-" -print_final_stats=1 \
      "$corpus" "${seeds[@]}" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "== [fuzz] $target failed; the input is kept in $fuzz_artifacts/" >&2
    return 1
  fi
  grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "$log" || true
}
