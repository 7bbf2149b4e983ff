#!/usr/bin/env bash
# Runs Tallyport against the sandbox gateway on this machine.
# - builds what is missing,
# - starts tallyport-sandbox on 127.0.0.1:${SANDBOX_PORT:-8443} unless it already answers
#   (SANDBOX_OFFER_VERSION=2.0 makes its upgrade check offer that version),
# - writes a configuration for it into the demo home ($TALLYPORT_HOME, default ./demo-home),
# - starts the client on the current display, or under Xvfb with a screenshot when there is
#   none (once the client exists; until then it says where the sandbox listens).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/setup.sh
bash scripts/build.sh >/dev/null

export TALLYPORT_HOME="${TALLYPORT_HOME:-$root/demo-home}"
port="${SANDBOX_PORT:-8443}"
data="$TALLYPORT_HOME/sandbox"
mkdir -p "$data"
chmod 700 "$TALLYPORT_HOME"

if curl -s --max-time 2 --cacert "$data/ca.pem" "https://127.0.0.1:$port/sandbox/health" >/dev/null 2>&1; then
  echo "sandbox gateway already listening on https://127.0.0.1:$port"
else
  offer=()
  if [ -n "${SANDBOX_OFFER_VERSION:-}" ]; then offer=(--offer-version "$SANDBOX_OFFER_VERSION"); fi
  "$root/build/bin/tallyport-sandbox" --port "$port" --data-dir "$data" "${offer[@]}" \
    >"$TALLYPORT_HOME/sandbox.log" 2>&1 &
  sandbox_pid=$!
  trap 'kill "$sandbox_pid" 2>/dev/null || true' EXIT
  for _ in $(seq 1 100); do
    grep -q "listening on" "$TALLYPORT_HOME/sandbox.log" 2>/dev/null && break
    sleep 0.1
  done
  if ! grep -q "listening on" "$TALLYPORT_HOME/sandbox.log"; then
    echo "the sandbox gateway did not start; see $TALLYPORT_HOME/sandbox.log" >&2
    exit 1
  fi
  echo "sandbox gateway started: $(grep "listening on" "$TALLYPORT_HOME/sandbox.log")"
fi

config="$TALLYPORT_HOME/TallyportConfig.ini"
host="https://127.0.0.1:$port"
client="$root/build/bin/tallyport"
if [ ! -f "$config" ]; then
  umask 077
  # The till's own first-run writer: the hosts, the CA and the built-in settings (hot keys
  # Ctrl+F9, Ctrl+F1, Ctrl+F6); then the demo cashier.
  "$client" --first-configuration "$config" "$host" "$data/ca.pem"
  printf '%s\r\n' "[USERNAME]" "username=13800000000" "[PASSWORD]" "password=123456" >>"$config"
else
  sed -i -e "s#^gateway_host=.*#gateway_host=$host\r#" -e "s#^trade_host=.*#trade_host=$host\r#" \
    -e "s#^upgrade_host=.*#upgrade_host=$host\r#" -e "s#^ca_bundle=.*#ca_bundle=$data/ca.pem\r#" \
    "$config"
fi
echo "configuration: $config"
echo "demo merchant: phone 13800000000, password 123456 (payment codes: sandbox/README.md)"

# The application directory holds the voice and the updater; the keyboard-hook helper starts
# from the working directory.
cp -f "$root/build/bin/pay.wav" "$TALLYPORT_HOME/" 2>/dev/null || true
ln -sf "$root/build/bin/KeyHook" "$TALLYPORT_HOME/KeyHook"
ln -sf "$root/build/bin/Download" "$TALLYPORT_HOME/Download"
cd "$TALLYPORT_HOME"

# The client starts the keyboard-hook helper, which listens on 127.0.0.1:1234. However this
# script ends (the client quits, Ctrl-C, kill), the client and a helper of this build that
# was not running before end with it, so the next demo does not meet a stale one.
keyhook="$(readlink -f "$root/build/bin/KeyHook")"
keyhooks_of_build() {
  local p
  for p in /proc/[0-9]*; do
    if [ "$(readlink "$p/exe" 2>/dev/null)" = "$keyhook" ]; then echo "${p#/proc/}"; fi
  done
}
keyhooks_before=" $(keyhooks_of_build | tr '\n' ' ') "
pid=""
# What this script started ends with it: the sandbox (when it was not already listening),
# Xvfb and the tray host.
started=()
if [ -n "${sandbox_pid:-}" ]; then started+=("$sandbox_pid"); fi
finish() {
  trap - EXIT INT TERM HUP
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  local k
  for k in $(keyhooks_of_build); do
    case "$keyhooks_before" in *" $k "*) ;; *) kill "$k" 2>/dev/null || true ;; esac
  done
  if [ "${#started[@]}" -gt 0 ]; then kill "${started[@]}" 2>/dev/null || true; fi
}
trap finish EXIT
trap 'finish; exit 130' INT
trap 'finish; exit 143' TERM
trap 'finish; exit 129' HUP

if [ -n "${DISPLAY:-}" ]; then
  "$client" &
  pid=$!
  wait "$pid"
  exit
fi

# No display: run under Xvfb and keep a screenshot of what the cashier would see.
display=":${XVFB_DISPLAY:-99}"
if ! xdpyinfo -display "$display" >/dev/null 2>&1; then
  Xvfb "$display" -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 &
  started+=($!)
  for _ in $(seq 1 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
fi
export DISPLAY="$display" QT_QPA_PLATFORM=xcb
# A tray host, so the tray icon and its menu exist after the login.
if command -v trayer >/dev/null 2>&1 && ! xdotool search --class '^trayer$' >/dev/null 2>&1; then
  trayer --edge top --align right --widthtype pixel --width 200 --height 32 >/dev/null 2>&1 &
  started+=($!)
fi
"$client" &
pid=$!
sleep "${SCREENSHOT_DELAY:-4}"
import -window root "$TALLYPORT_HOME/screenshot.png"
echo "running under Xvfb on $display (pid $pid); screenshot: $TALLYPORT_HOME/screenshot.png"
wait "$pid"
