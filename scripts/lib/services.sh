# shellcheck shell=bash
# shellcheck disable=SC2154 # velora_root comes from script.sh
# What the scripts start and must stop: each start pushes its stop before it
# starts, so that a start that fails half-way is undone as well.
#
#   wine_session_start STATE [--alone]   holds the Wine bench of STATE
#       (tests/wine/session) for this script until it ends; once per script
#   update_server_start STATE [OPTIONS...]   the local update server with its
#       files in STATE (tools/update_server/server_fixture); prints its ports
#   update_server_stop STATE   stops it before the script ends
#   update_server_port STATE   its HTTP port
#   process_stop PID           ends a process this script started in the
#       background (TERM, then KILL after 5 s); nothing when it has ended

wine_session_start() { # state [session start options...]
  local state=$1
  shift
  cleanup_has "Wine bench $state" && return 0
  cleanup_push "Wine bench $state" "$velora_root/tests/wine/session" stop "$state" --holder $$
  "$velora_root/tests/wine/session" start "$state" --holder $$ "$@" \
    || fail "the Wine bench of $state did not start"
}

update_server_start() { # state [update_server.py options...]
  local state=$1
  shift
  cleanup_push "update server $state" "$velora_root/tools/update_server/server_fixture" stop "$state"
  "$velora_root/tools/update_server/server_fixture" start "$state" "$@"
}

update_server_stop() { # state
  cleanup_now "update server $1"
}

update_server_port() { # state
  /usr/bin/python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["http"])' "$1/ports.json"
}

process_stop() { # pid
  kill -0 "$1" 2>/dev/null || return 0
  kill -TERM "$1" 2>/dev/null || return 0
  local _
  for _ in $(seq 50); do
    kill -0 "$1" 2>/dev/null || return 0
    sleep 0.1
  done
  kill -KILL "$1" 2>/dev/null || true
}
