# shellcheck shell=bash
# shellcheck disable=SC2154 # script_name comes from script.sh
# The clean-up stack: each thing a script starts pushes its undoing, and one
# exit handler (steps.sh) runs what is left, the latest first, whatever failed.
#
#   cleanup_push LABEL COMMAND [ARGUMENTS...]   run COMMAND at exit
#   cleanup_now LABEL      runs the latest action pushed as LABEL now and drops
#                          it; its exit code is returned (a failed one stays on
#                          the stack, and the exit tries it again)
#   cleanup_has LABEL      succeeds while an action of LABEL waits
#   cleanup_run_all        runs every waiting action, the latest first

cleanup_labels=()
cleanup_actions=()

cleanup_push() {
  local label=$1
  shift
  cleanup_labels+=("$label")
  cleanup_actions+=("$(printf '%q ' "$@")")
}

# The index of the latest action pushed as LABEL, or nothing.
cleanup_find() { # label
  local indices=("${!cleanup_labels[@]}") n
  for ((n = ${#indices[@]} - 1; n >= 0; n--)); do
    if [ "${cleanup_labels[${indices[n]}]}" = "$1" ]; then
      printf '%s' "${indices[n]}"
      return 0
    fi
  done
  return 1
}

cleanup_has() { cleanup_find "$1" >/dev/null; }

cleanup_now() {
  local index rc=0
  index=$(cleanup_find "$1") || return 0
  eval "${cleanup_actions[index]}" || rc=$?
  if [ "$rc" = 0 ]; then
    unset "cleanup_labels[index]" "cleanup_actions[index]"
  fi
  return "$rc"
}

cleanup_run_all() {
  local indices=("${!cleanup_labels[@]}") n index rc
  for ((n = ${#indices[@]} - 1; n >= 0; n--)); do
    index=${indices[n]}
    rc=0
    eval "${cleanup_actions[index]}" || rc=$?
    if [ "$rc" != 0 ]; then
      echo "$script_name: clean-up \"${cleanup_labels[index]}\" failed with exit code $rc" >&2
    fi
    unset "cleanup_labels[index]" "cleanup_actions[index]"
  done
}
