#!/usr/bin/env bash
# The program itself with the server's token options: a token file readable
# by others, a weak token and a token given twice are refused before any
# window opens (exit 2); a token from a file or the environment is served
# and never appears on the command line other users can read; the option
# form warns. Loopback only; every wait has a deadline.
#
#   serve_token_test.sh PATH/TO/tavrocam
set -uo pipefail

readonly program=${1:?usage: serve_token_test.sh PATH/TO/tavrocam}
command -v curl >/dev/null || { echo "SKIP: curl is not installed"; exit 77; }
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tavrocam-token.XXXXXX")
failures=0
app_pid=''
trap '[[ -n $app_pid ]] && kill "$app_pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$scratch"' EXIT
export XDG_CONFIG_HOME=$scratch TAVROCAM_CLAIM_DIR=$scratch QT_QPA_PLATFORM=offscreen
unset TAVROCAM_SERVE_TOKEN

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Runs the program with "$@" and expects exit 2 with `want` on standard error.
refused() {
  local want=$1; shift
  timeout 30 "$program" --camera=sim --headless "$@" >"$scratch/out" 2>"$scratch/err"
  local code=$?
  [[ $code -eq 2 ]] || fail "$* ended with $code, not 2"
  grep -qF -- "$want" "$scratch/err" || fail "$*: no \"$want\" in: $(cat "$scratch/err")"
}

# Starts the program with "$@", waits for its URL (in $url); a sanitizer
# build may take tens of seconds to start.
serve() {
  "$program" --camera=sim --headless "$@" >"$scratch/out" 2>"$scratch/err" &
  app_pid=$!
  url=''
  for _ in $(seq 1 500); do
    url=$(sed -n 's/^tavrocam: serving the camera at //p' "$scratch/out")
    [[ -n $url ]] && return 0
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
  done
  fail "$* did not serve: $(cat "$scratch/err")"
  # Not left running: it would hold the simulated camera from the next start.
  stop
  return 1
}

stop() { kill "$app_pid" 2>/dev/null; wait "$app_pid" 2>/dev/null; app_pid=''; }

token=correct-horse-battery-staple
printf '%s\n' "$token" >"$scratch/token"
chmod 644 "$scratch/token"
refused "chmod 600" --serve=127.0.0.1:0 --serve-token-file="$scratch/token"
chmod 600 "$scratch/token"
refused "not both" --serve=127.0.0.1:0 --serve-token-file="$scratch/token" --serve-token="$token"
refused "different characters" --serve=127.0.0.1:0 --serve-token=aaaaaaaaaaaaaaaa
TAVROCAM_SERVE_TOKEN=short refused "at least 16" --serve=127.0.0.1:0
refused "--serve-host=evil/x" --serve=127.0.0.1:0 --serve-host=evil/x
refused "go together" --serve=127.0.0.1:0 --serve-cert="$scratch/token"

# A name kept in the profile is allowed like one given with --serve-host.
mkdir -p "$scratch/TQ400 Application"
printf '[Setting]\nServeHosts=room-cam.lan, other.lan\n' >"$scratch/TQ400 Application/TAVROCAM.conf"

if serve --serve=127.0.0.1:0 --serve-token-file="$scratch/token" --serve-host=camera.local; then
  grep -qF -- "$token" "/proc/$app_pid/cmdline" && fail "the token is on the command line"
  base=${url%%/\?*}
  port=${base##*:}
  [[ $(curl -s -o /dev/null -w '%{http_code}' -H "Authorization: Bearer $token" "$base/api/state") == 200 ]] ||
    fail "the token from the file was not accepted"
  [[ $(curl -s -o /dev/null -w '%{http_code}' -H "Host: camera.local:$port" -H "Authorization: Bearer $token" \
    "$base/api/state") == 200 ]] || fail "--serve-host was not accepted"
  [[ $(curl -s -o /dev/null -w '%{http_code}' -H "Host: room-cam.lan:$port" -H "Authorization: Bearer $token" \
    "$base/api/state") == 200 ]] || fail "ServeHosts from the profile was not accepted"
  [[ $(curl -s -o /dev/null -w '%{http_code}' -H "Host: evil.example:$port" "$base/api/state") == 421 ]] ||
    fail "a rebound name was served"
  grep -q warning "$scratch/err" && fail "warned without --serve-token"
  stop
fi

if TAVROCAM_SERVE_TOKEN=$token serve --serve=127.0.0.1:0; then
  base=${url%%/\?*}
  [[ $(curl -s -o /dev/null -w '%{http_code}' "$base/api/state?token=$token") == 200 ]] ||
    fail "the token from the environment was not accepted"
  [[ $(curl -s -o /dev/null -w '%{http_code}' "$base/api/state") == 401 ]] || fail "served without the token"
  stop
fi

if serve --serve=127.0.0.1:0 --serve-token="$token"; then
  [[ $(grep -c "visible to every user" "$scratch/err") -eq 1 ]] || fail "--serve-token did not warn once"
  stop
fi

if serve '--serve=[::ffff:127.0.0.1]:0'; then
  base=${url%/}
  port=${base##*:}
  [[ $(curl -s -o /dev/null -w '%{http_code}' "http://127.0.0.1:$port/api/state") == 200 ]] ||
    fail "[::ffff:127.0.0.1] did not serve 127.0.0.1"
  stop
fi

[[ $failures -eq 0 ]] && echo "serve token test: all passed"
exit $((failures > 0))
