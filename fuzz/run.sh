#!/usr/bin/env bash
# run.sh -- runs one fuzz target for a while: fuzz/run.sh BUILD_DIR TARGET SECONDS (bitmap, scene,
# record_options, import, hd_scene)
# New inputs go to BUILD_DIR/fuzz-corpus/TARGET (the seeds in fuzz/corpus stay
# as they are); a crash leaves its input in BUILD_DIR/fuzz-artifacts/.
set -euo pipefail
build=$1 target=$2 seconds=$3
here=$(cd "$(dirname "$0")" && pwd)
work=$build/fuzz-corpus/$target
mkdir -p "$work" "$build/fuzz-artifacts"
# One process (no -jobs: that would fork workers logging to files), low
# priority: the machine is shared. Stderr of the target
# (the program's own messages for every refused scene) is closed; libFuzzer
# keeps its own reports.
# FLYOVER_FUZZ_NICE sets the priority (19 unless given; CI gives 0). A unit
# is a hang after 60 s, well above the slowest seen on a loaded machine.
# A target's dictionary and seeds are used where it has them.
extra=()
[ -f "$here/$target.dict" ] && extra+=(-dict="$here/$target.dict")
seeds=()
[ -d "$here/corpus/$target" ] && seeds+=("$here/corpus/$target")
exec nice -n "${FLYOVER_FUZZ_NICE:-19}" "$build/bin/${target}_fuzzer" \
  -max_total_time="$seconds" -close_fd_mask=2 \
  -rss_limit_mb=2048 -timeout=60 -print_final_stats=1 \
  "${extra[@]}" -artifact_prefix="$build/fuzz-artifacts/${target}-" \
  "$work" "${seeds[@]}"
