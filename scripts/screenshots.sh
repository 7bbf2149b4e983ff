#!/usr/bin/env bash
# Takes the README's screenshots: the client on a private Xvfb display against a private
# sandbox gateway, driven with xdotool. Writes docs/screenshots/*.png.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/docs/screenshots"
bin="$root/build/bin"
mkdir -p "$out"
work="$(mktemp -d)"
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"; }
trap cleanup EXIT

Xvfb :97 -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 & pids+=($!)
export DISPLAY=:97
for _ in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

"$bin/tallyport-sandbox" --port 0 --data-dir "$work/sandbox" >"$work/sandbox.log" 2>&1 & pids+=($!)
for _ in $(seq 1 100); do grep -q "listening on" "$work/sandbox.log" && break; sleep 0.1; done
port="$(sed -n 's/.*127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/sandbox.log" | head -1)"

home="$work/home"
mkdir -p "$home"
cp "$bin/pay.wav" "$home/" 2>/dev/null || true
printf '%s\r\n' "[GATEWAY_HOST]" "gateway_host=https://127.0.0.1:$port" \
  "[CA_BUNDLE]" "ca_bundle=$work/sandbox/ca.pem" "[USERNAME]" "username=13800000000" \
  "[PASSWORD]" "password=123456" "[SUSPENDWINDOW_SHOW]" "suspendwindow_show=1" \
  "[adbinfo]" "ConnMode=9" >"$home/TallyportConfig.ini"

(cd "$home" && TALLYPORT_HOME="$home" TALLYPORT_LOCK_DIR="$work" TALLYPORT_PLAYER=true \
  QT_QPA_PLATFORM=xcb "$bin/tallyport" >/dev/null 2>&1) & pids+=($!)

window_of_size() {
  for id in $(xdotool search --onlyvisible --name "$1" 2>/dev/null); do
    if xdotool getwindowgeometry "$id" | grep -q "Geometry: $2"; then echo "$id"; return; fi
  done
}
wait_for() { for _ in $(seq 1 100); do id="$(window_of_size "$1" "$2")"; [ -n "$id" ] && { echo "$id"; return; }; sleep 0.1; done; }

login="$(wait_for '^Tallyport$' 520x480)"
sleep 0.5
import -window root -crop 520x480+423+144 "$out/login.png"
xdotool windowfocus --sync "$login" key Return

main="$(wait_for '^Tallyport$' 671x503)"
sleep 0.5
geometry() { xdotool getwindowgeometry "$1" | sed -n 's/.*Position: \([0-9]*\),\([0-9]*\).*/\1 \2/p'; }
read -r x y < <(geometry "$main")
import -window root -crop "671x503+$x+$y" "$out/checkout.png"

xdotool windowfocus --sync "$main" type --delay 40 "12.5"
xdotool key Return type --delay 20 "134567890123456780"
xdotool key Return
wait_for '^collectionWin$' '' >/dev/null
sleep 0.3
import -window root -crop "671x503+$x+$y" "$out/payment-success.png"
echo "screenshots in $out"
