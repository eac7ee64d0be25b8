# Sourced by the benchmark scripts. plan NAME RUNS ARG... writes the plan
# file $work/NAME for spawn_bench: the same command line for every run.
plan() {
  local name=$1 runs=$2; shift 2
  local line
  line=$(printf '%s\t' "$@")
  for _ in $(seq "$runs"); do printf '%s\n' "${line%$'\t'}"; done > "$work/$name"
}
