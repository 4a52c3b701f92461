#!/usr/bin/env bash
# completion_test.sh -- flyover-tool's bash completion as bash runs it:
# completion_test.sh COMPLETION_FILE
set -uo pipefail
source "$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/scene-dir" && touch "$work/scene-file"
cd "$work"
failures=0

# complete WORD... : the completions bash offers for the last word.
complete_words() {
  COMP_WORDS=("$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _flyover_tool
  printf '%s\n' "${COMPREPLY[*]}"
}

expect() {
  local want=$1
  shift
  local got
  got=$(complete_words "$@")
  if [ "$got" != "$want" ]; then
    echo "FAIL: '$*' completes to '$got', expected '$want'"
    failures=$((failures + 1))
  else
    echo "ok    '$*' -> '$got'"
  fi
}

expect "render record" flyover-tool re
expect "--help" flyover-tool --he
expect "--seed" flyover-tool scene --s
expect "scene-dir" flyover-tool render --scene scene-
expect "scene-dir scene-file" flyover-tool render --out scene-
expect "scene-dir" flyover-tool render --scene = scene-
expect "320x240:rot90 320x240:rot180 320x240:rot270" flyover-tool render --display 320x240:rot
expect "low lossless" flyover-tool record --quality l
expect "" flyover-tool render --time 1
expect "" flyover-tool nonsense --s
exit $((failures > 0))
