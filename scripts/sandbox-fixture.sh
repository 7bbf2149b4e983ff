#!/usr/bin/env bash
# Starts and stops the Linux sandbox gateway for the suites of the Windows build, which run
# under Wine and cannot start a Linux program themselves:
#   scripts/sandbox-fixture.sh start DIR SANDBOX   the sandbox in DIR/data, and a second one
#                                                  with the same CA whose certificate names
#                                                  another host (DIR/other); their addresses in
#                                                  DIR/url and DIR/other-url (https://localhost:P)
#   scripts/sandbox-fixture.sh stop DIR            ends both
# Each sandbox ends by itself after an hour at the latest, should nobody stop it.
set -euo pipefail
action=$1 dir=$2

stop() {
  local pid
  for pid in "$dir"/*.pid; do
    [ -f "$pid" ] || continue
    kill "$(cat "$pid")" 2>/dev/null || true
    rm -f "$pid"
  done
}

launch() { # NAME DATA [ARGUMENTS...]
  local name=$1 data=$2
  shift 2
  mkdir -p "$data"
  timeout 3600 "$sandbox" --port 0 --data-dir "$data" "$@" >"$dir/$name.out" 2>"$dir/$name.err" &
  echo $! >"$dir/$name.pid"
  local waited=0
  until grep -q '^tallyport-sandbox listening on ' "$dir/$name.out" 2>/dev/null; do
    sleep 0.1
    waited=$((waited + 1))
    if [ $waited -gt 300 ] || ! kill -0 "$(cat "$dir/$name.pid")" 2>/dev/null; then
      cat "$dir/$name.err" >&2
      return 1
    fi
  done
  # By name: Schannel matches a certificate's DNS names only, not its IP addresses.
  sed -n 's/^tallyport-sandbox listening on https:\/\/127\.0\.0\.1\(:[0-9]*\) .*/https:\/\/localhost\1/p' \
    "$dir/$name.out" >"$dir/$name-url"
}

case "$action" in
  start)
    sandbox=$3
    stop
    rm -rf "$dir"
    mkdir -p "$dir"
    launch gateway "$dir/data"
    mv "$dir/gateway-url" "$dir/url"
    mkdir -p "$dir/other-data"
    cp "$dir/data/ca.pem" "$dir/data/ca-key.pem" "$dir/other-data/"
    launch other "$dir/other-data" --cert-host elsewhere.invalid
    ;;
  stop)
    stop
    ;;
  *)
    echo "usage: $0 start DIR SANDBOX | stop DIR" >&2
    exit 2
    ;;
esac
