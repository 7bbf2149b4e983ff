#!/usr/bin/env bash
# Takes a screenshot of every window of the client: the real client on a private Xvfb display
# against a private sandbox gateway, driven with xdotool.
#   scripts/screenshots.sh [OUTPUT_DIR]      (default docs/screenshots)
# Windows: login, checkout, payment-success (the result card), settings, order-list,
# daily-summary, refund (the main window's pages), floating-icon and single-window. A window
# whose Designer form (forms/NAME.ui) is not there yet is skipped with a note.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/docs/screenshots}"
bin="$root/build/bin"
mkdir -p "$out"
work="$(mktemp -d)"
pids=()
client_pid=""
cleanup() {
  [ -n "$client_pid" ] && kill "$client_pid" 2>/dev/null
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display and writes its number once it accepts clients.
Xvfb -displayfd 3 -screen 0 1366x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"

"$bin/tallyport-sandbox" --port 0 --data-dir "$work/sandbox" >"$work/sandbox.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do grep -q "listening on" "$work/sandbox.log" && break; sleep 0.1; done
port="$(sed -n 's/.*127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/sandbox.log" | head -1)"

has_form() { [ -f "$root/forms/$1.ui" ]; }
skip() { echo "  skipped $1: $2"; }
shot() { import -window root -crop "$2" "$out/$1.png"; echo "  $1.png"; }
window_of_size() {
  for id in $(xdotool search --onlyvisible --name "$1" 2>/dev/null); do
    if xdotool getwindowgeometry "$id" | grep -q "Geometry: $2"; then echo "$id"; return; fi
  done
}
wait_for() {
  for _ in $(seq 1 100); do
    id="$(window_of_size "$1" "$2")"
    [ -n "$id" ] && { echo "$id"; return; }
    sleep 0.1
  done
}
# "WxH+X+Y" of a window, for import's -crop.
crop_of() {
  xdotool getwindowgeometry "$1" | tr '\n' ' ' |
    sed -n 's/.*Position: \([0-9]*\),\([0-9]*\).*Geometry: \([0-9]*x[0-9]*\).*/\3+\1+\2/p'
}

# Starts the client with the demo cashier and the given extra configuration lines.
start_client() {
  local home="$work/home-$1"
  shift
  mkdir -p "$home"
  printf '%s\r\n' "[GATEWAY_HOST]" "gateway_host=https://127.0.0.1:$port" \
    "[TRADE_HOST]" "trade_host=https://127.0.0.1:$port" \
    "[CA_BUNDLE]" "ca_bundle=$work/sandbox/ca.pem" "[USERNAME]" "username=13800000000" \
    "[PASSWORD]" "password=123456" "[adbinfo]" "ConnMode=0" "$@" >"$home/TallyportConfig.ini"
  (cd "$home" && TALLYPORT_HOME="$home" TALLYPORT_LOCK_DIR="$work" TALLYPORT_PLAYER=true \
    QT_QPA_PLATFORM=xcb exec "$bin/tallyport" >/dev/null 2>&1) &
  client_pid=$!
}
stop_client() {
  kill "$client_pid" 2>/dev/null || true
  wait "$client_pid" 2>/dev/null || true
  client_pid=""
}

# 1. Login, the checkout page, a payment's result card, then the other pages of the main
#    window (brought back with the cash hot key once the card has taken it away).
start_client main "[SUSPENDWINDOW_SHOW]" "suspendwindow_show=1" \
  "[CASH_HOTKEY]" "cash_hotkey=8" "[CASH_HOTKEY_ALT]" "cash_hotkey_alt=1" \
  "[RECEIPT_HOTKEY]" "receipt_hotkey=0" "[RECEIPT_HOTKEY_ALT]" "receipt_hotkey_alt=1" \
  "[REPORT_HOTKEY]" "report_hotkey=5" "[REPORT_HOTKEY_ALT]" "report_hotkey_alt=1"
login="$(wait_for '^Tallyport$' 520x480)"
[ -n "$login" ] || { echo "the login window did not appear" >&2; exit 1; }
sleep 0.5
shot login "$(crop_of "$login")"
xdotool windowfocus --sync "$login" key Return

main="$(wait_for '^Tallyport$' 671x503)"
[ -n "$main" ] || { echo "the main window did not appear after the login" >&2; exit 1; }
sleep 0.5
main_crop="$(crop_of "$main")"
shot checkout "$main_crop"
read -r main_x main_y < <(xdotool getwindowgeometry "$main" |
  sed -n 's/.*Position: \([0-9]*\),\([0-9]*\).*/\1 \2/p')

xdotool windowfocus --sync "$main" type --delay 40 "12.5"
xdotool key Return type --delay 20 "134567890123456780"
xdotool key Return
if [ -n "$(wait_for '^collectionWin$' '')" ]; then
  sleep 0.3
  shot payment-success "$main_crop"
else
  skip payment-success "no result card appeared"
fi
# The card counts down and takes the main window with it; the cash key brings it back.
for _ in $(seq 1 100); do
  [ -z "$(window_of_size '^Tallyport$' 671x503)" ] && break
  sleep 0.1
done
xdotool key ctrl+F9
main="$(wait_for '^Tallyport$' 671x503)"
[ -n "$main" ] || { echo "the cash hot key did not bring the main window back" >&2; exit 1; }
read -r main_x main_y < <(xdotool getwindowgeometry "$main" |
  sed -n 's/.*Position: \([0-9]*\),\([0-9]*\).*/\1 \2/p')

# The menu down the left edge: checkout, order query, daily summary, refund, settings, each
# 63 x 65 pixels.
menu_click() { xdotool mousemove $((main_x + 31)) $((main_y + 32 + 65 * $1)) click 1; sleep 0.7; }
# A page's query button, at a position of its form (relative to the main window).
query_click() { xdotool mousemove $((main_x + $1)) $((main_y + $2)) click 1; sleep 1; }
page() { # NAME FORM MENU-INDEX [QUERY-X QUERY-Y]
  if has_form "$2"; then
    menu_click "$3"
    [ $# -ge 5 ] && query_click "$4" "$5"
    # Each page gives the main window its own size.
    shot "$1" "$(crop_of "$main")"
  else
    skip "$1" "forms/$2.ui is not there yet"
  fi
}
page order-list OrderQueryWin 1 655 47
page daily-summary DailyQueryWin 2 636 51
page refund ReFundWin 3
page settings ParamSettingWin 4
stop_client

# 2. The floating icon after login, and the single-window pay form it opens.
start_client icon "[SUSPENDWINDOW_SHOW]" "suspendwindow_show=0" \
  "[MULTIWINDOW_SHOW]" "multiwindow_show=1"
login="$(wait_for '^Tallyport$' 520x480)"
xdotool windowfocus --sync "$login" key Return
icon=""
for _ in $(seq 1 100); do
  for id in $(xdotool search --onlyvisible --name '^Tallyport$' 2>/dev/null); do
    size="$(xdotool getwindowgeometry "$id" | sed -n 's/.*Geometry: \([0-9]*\)x\([0-9]*\).*/\1 \2/p')"
    read -r w h <<<"$size"
    if [ "${h:-999}" -lt 120 ] && [ "${w:-0}" -gt 0 ]; then icon="$id"; fi
  done
  [ -n "$icon" ] && break
  sleep 0.1
done
if [ -z "$icon" ]; then
  skip floating-icon "it did not appear"
else
  # The main window shows at login; the icon stays on top of it.
  sleep 0.5
  shot floating-icon "$(crop_of "$icon")"
  if has_form SingleWin; then
    read -r ix iy < <(xdotool getwindowgeometry "$icon" |
      sed -n 's/.*Position: \([0-9]*\),\([0-9]*\).*/\1 \2/p')
    xdotool mousemove $((ix + 20)) $((iy + 20)) click 1
    single="$(wait_for '^Tallyport$' 360x400)"
    if [ -n "$single" ]; then
      sleep 0.5
      shot single-window "$(crop_of "$single")"
    else
      skip single-window "the form did not appear"
    fi
  else
    skip single-window "forms/SingleWin.ui is not there yet"
  fi
fi
stop_client
echo "screenshots in $out"
