#!/usr/bin/env bash
# Soak: the real till on a private Xvfb, driven with xdotool as a cashier drives it, through N
# payments against a private sandbox gateway (a free port, its own data directory).
# - Payment codes are typed on the keyboard or read from a serial scanner (a socat pty pair the
#   till opens as its serial port, "ConnMode=1"), cycling through every outcome of the sandbox's
#   code table: paid at once (WeChat and Alipay forms), refused by the wallet (last digit 9), not
#   a payment code, pending then paid (6), pending then failed (7), pending for ever (8: the till
#   gives up after 15 status queries, about 47 s, so it comes once per 200 payments; 6 and 7 once
#   per 50 each).
# - Every SOAK_EVERY payments (20 by default, fewer for a small N) the order list, opened with
#   its hot key (Ctrl+F6) or its menu item: a query, the newest paid order found on its page,
#   refreshed and refunded from the list; then the refund page: one paid order typed and
#   refunded in full, one scanned and refunded in part; then back to the checkout.
# It prints the payments, the ledger rows, the journal's requests, the till's resident memory
# at 10 % of the payments and at the end, its CPU time, and its open file descriptors and threads
# after the login, at 10 % and at the end. It exits non-zero when the till dies, when a payment
# is missing from the journal or the ledger or its row is not in the state its code implies (no
# row left "sending" or "pending"), when a refund did not reach the gateway, or when file
# descriptors or threads grew after the warm-up (the first 10 %).
#   scripts/soak.sh N
# TALLYPORT_BUILD_DIR picks the build (default build/); SOAK_KEEP=1 keeps the working files
# (they are kept anyway when the soak fails). Everything it starts ends with it.
# shellcheck disable=SC2154 # sample() sets start_*, warm_* and end_* by name
set -euo pipefail
export LC_ALL=C
root="$(cd "$(dirname "$0")/.." && pwd)"
bin="${TALLYPORT_BUILD_DIR:-$root/build}/bin"

usage() {
  echo "usage: scripts/soak.sh N   (N payments, at least 1)" >&2
  exit 2
}
[[ $# -eq 1 && "$1" =~ ^[1-9][0-9]*$ ]] || usage
total=$1
every="${SOAK_EVERY:-20}"
if ((total < 2 * every)); then every=$(((total + 1) / 2)); fi
((every >= 1)) || every=1

for program in "$bin/tallyport" "$bin/tallyport-sandbox"; do
  [[ -x "$program" ]] || { echo "soak: missing $program: build first (scripts/build.sh)" >&2; exit 2; }
done
for tool in Xvfb xdotool socat sqlite3 jq import; do
  command -v "$tool" >/dev/null || { echo "soak: $tool is missing (scripts/setup.sh)" >&2; exit 2; }
done

work="$(mktemp -d "${TMPDIR:-/tmp}/tallyport-soak.XXXXXX")"
home="$work/home"
data="$work/sandbox"
scanner_port="$work/scanner-till" # the till's end of the scanner's serial line
mkdir -m 700 "$home" "$data" "$work/lock"

# ---------------------------------------------------------------------------------------------
# Everything started here ends with the script, however it ends.
xvfb_pid="" sandbox_pid="" socat_pid="" client_pid=""
failed=0 keep="${SOAK_KEEP:-0}"
# Running, not ended and waiting to be collected.
running() {
  local state
  state="$(ps -o stat= -p "$1" 2>/dev/null)" && [[ "$state" != Z* ]]
}
stop_process() {
  local pid=$1
  [[ -n "$pid" ]] || return 0
  if running "$pid"; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do running "$pid" || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
  fi
  wait "$pid" 2>/dev/null || true
}
finish() {
  local status=$?
  trap - EXIT INT TERM HUP
  { exec 7>&-; } 2>/dev/null || true
  if [[ -n "$client_pid" ]]; then
    # Whatever the till started (a voice player, a spooler tool) goes first.
    local child
    for child in $(pgrep -P "$client_pid" 2>/dev/null || true); do stop_process "$child"; done
    stop_process "$client_pid"
  fi
  stop_process "$socat_pid"
  stop_process "$sandbox_pid"
  stop_process "$xvfb_pid"
  # The till's serial port lock, left behind when the till is ended by a signal (Qt takes the
  # first writable one of these directories).
  local dir
  for dir in /var/lock /run/lock /tmp; do rm -f "$dir/LCK..${scanner_port//\//_}" 2>/dev/null || true; done
  if ((status == 0 && failed == 0)) && [[ "$keep" == 0 ]]; then
    rm -rf "$work"
  else
    echo "soak: files kept in $work" >&2
  fi
  exit "$status"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

die() {
  echo "soak: $*" >&2
  if [[ -n "$client_pid" ]] && ! alive; then
    echo "soak: the till is not running any more (its output: $work/till.err)" >&2
  fi
  failed=1
  if [[ -n "${DISPLAY:-}" ]]; then import -window root "$work/failure.png" 2>/dev/null || true; fi
  exit 1
}

# A command that fails stops the soak with its line (in functions too: set -E; a command
# substitution that fails only tells its own command).
set -E
trap 'if ((BASH_SUBSHELL == 0)); then trap - ERR; die "a command failed at line $LINENO"; fi' ERR

now_ms() {
  local t=${EPOCHREALTIME/./}
  echo $((t / 1000))
}
alive() { running "$client_pid"; }

# Runs a check every 20 ms (every 100 ms after the first second) until it succeeds; fails the
# soak when the till has died or after `seconds`.
wait_until() {
  local seconds=$1 what=$2
  shift 2
  local start pause=0.02
  start=$(now_ms)
  until "$@"; do
    if [[ -n "$client_pid" ]] && ! alive; then die "the till ended while waiting for $what"; fi
    (($(now_ms) - start < seconds * 1000)) || die "no $what within $seconds s"
    sleep "$pause"
    (($(now_ms) - start < 1000)) || pause=0.1
  done
}

# ---------------------------------------------------------------------------------------------
# The X server, the gateway, the scanner's serial line.
Xvfb -displayfd 1 -noreset -screen 0 1366x768x24 -nolisten tcp >"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
wait_until 15 "X display" grep -qs '^[0-9]' "$work/display"
DISPLAY=":$(head -n1 "$work/display")"
export DISPLAY

"$bin/tallyport-sandbox" --port 0 --data-dir "$data" >"$work/sandbox.out" 2>"$work/sandbox.log" &
sandbox_pid=$!
wait_until 15 "sandbox gateway" grep -qs "listening on" "$work/sandbox.out"
port="$(sed -n 's#.*https://127\.0\.0\.1:\([0-9]*\) .*#\1#p' "$work/sandbox.out")"
journal="$data/journal.jsonl"

socat "pty,raw,echo=0,link=$scanner_port" "pty,raw,echo=0,link=$work/scanner" 2>"$work/socat.log" &
socat_pid=$!
wait_until 10 "serial line" test -e "$scanner_port" -a -e "$work/scanner"
# The scanner's end stays open: a serial line whose device end closes is gone for the till.
exec 7<>"$work/scanner"

# The till's own first-run configuration for this gateway, logging in by itself as the demo
# cashier, reading codes from the serial scanner; the shipped hot keys and floating icon.
config="$home/TallyportConfig.ini"
"$bin/tallyport" --first-configuration "$config" "https://127.0.0.1:$port" "$data/ca.pem"
sed -i 's/^autologin=0/autologin=1/' "$config"
printf '%s\r\n' "[USERNAME]" "username=13800000000" "[PASSWORD]" "password=123456" \
  "[adbinfo]" "ConnMode=1" "com=$scanner_port" >>"$config"

# No spooler is reachable (CUPS_SERVER names none): each paid order's receipt is laid out and
# finds no printer, so nothing reaches a real one.
(cd "$home" && exec env QT_QPA_PLATFORM=xcb TALLYPORT_HOME="$home" TALLYPORT_LOCK_DIR="$work/lock" \
  TALLYPORT_PLAYER=true CUPS_SERVER="$work/no-spooler" "$bin/tallyport") \
  >"$work/till.out" 2>"$work/till.err" &
client_pid=$!
runlog="$home/tallyport.log"
ledger_db="$home/ledger.db"

# ---------------------------------------------------------------------------------------------
# What the script reads: the main window, the ledger, the journal, the run log, /proc.
main=""
main_window() {
  local id size
  for id in $(xdotool search --onlyvisible --name '^Tallyport$' 2>/dev/null); do
    size="$(xdotool getwindowgeometry "$id" 2>/dev/null | sed -n 's/.*Geometry: //p')"
    if [[ "$size" == 671x503 ]]; then main=$id; return 0; fi
  done
  return 1
}
main_visible() { xdotool search --onlyvisible --name '^Tallyport$' 2>/dev/null | grep -qx "$main"; }
main_width_is() {
  main_visible && [[ "$(xdotool getwindowgeometry --shell "$main" | sed -n 's/^WIDTH=//p')" == "$1" ]]
}
no_card() { ! xdotool search --onlyvisible --name '^collectionWin$' >/dev/null 2>&1; }

ledger() { sqlite3 -readonly -separator ' ' "$ledger_db" "$1"; }
sandbox_db() { sqlite3 -readonly -separator ' ' "$data/sandbox.db" "$1"; }
# Requests of the gateway method $1 in the journal, with the text $2 in them when given.
journal_count() { grep -F "\\\"method\\\":\\\"$1\\\"" "$journal" | grep -cF -- "${2:-}" || true; }
journal_count_above() { (($(journal_count "$1" "${2:-}") > $3)); }
runlog_count() { grep -cF -- "$1" "$runlog" 2>/dev/null || true; }
runlog_count_above() { (($(runlog_count "$1") > $2)); }

# Resident memory (kB), open file descriptors, threads and CPU time (s) of the till, always in
# the same state: no result card, the checkout shown (a hidden window gives back its backing
# store). The descriptors and threads are the least of three looks 100 ms apart, so a
# request's socket or thread that is just ending is not counted.
rss_kb() { sed -n 's/^VmRSS:[[:space:]]*\([0-9]*\) kB/\1/p' "/proc/$client_pid/status"; }
sample() { # NAME: sets NAME_rss NAME_fds NAME_threads NAME_cpu
  local fds=999999 threads=999999 f t
  wait_until 10 "result cards to close" no_card
  show_checkout
  for _ in 1 2 3; do
    f=$(find "/proc/$client_pid/fd" -mindepth 1 -maxdepth 1 | wc -l)
    t=$(sed -n 's/^Threads:[[:space:]]*//p' "/proc/$client_pid/status")
    ((f < fds)) && fds=$f
    ((t < threads)) && threads=$t
    sleep 0.1
  done
  printf -v "${1}_rss" '%s' "$(rss_kb)"
  printf -v "${1}_fds" '%s' "$fds"
  printf -v "${1}_threads" '%s' "$threads"
  printf -v "${1}_cpu" '%s' "$(awk -v hz="$(getconf CLK_TCK)" '{ printf "%.1f", ($14 + $15) / hz }' \
    "/proc/$client_pid/stat")"
  ls -l "/proc/$client_pid/fd" >"$work/fds-$1.txt" 2>/dev/null || true
  cat /proc/"$client_pid"/task/*/comm >"$work/threads-$1.txt" 2>/dev/null || true
}

# ---------------------------------------------------------------------------------------------
# The cashier's hands.
# Clicks at a point of the main window (its own coordinates), raised first: the floating icon
# may lie over its top right corner. The pointer comes from elsewhere, so Qt sees a new press.
X=0 Y=0
origin() { eval "$(xdotool getwindowgeometry --shell "$main" | grep -E '^[XY]=[0-9-]+$')"; }
click() {
  origin
  xdotool windowraise "$main" mousemove --sync 0 0 mousemove --sync $((X + $1)) $((Y + $2)) click 1
}
# The xdotool key names of a text of digits and dots.
keys_of() {
  local text=$1 i c
  for ((i = 0; i < ${#text}; i++)); do
    c=${text:i:1}
    [[ "$c" == . ]] && c=period
    printf '%s ' "$c"
  done
}
# shellcheck disable=SC2046
type_keys() { xdotool windowfocus --sync "$main" key --delay 3 $(keys_of "$1") "${@:2}"; }
scan() { printf '%s\r\n' "$1" >&7; }

# Where things are on the main window (forms/PayWin.ui, CheckStandWin.ui, ReFundWin.ui,
# OrderQueryWin.ui, as laid out at 1366 x 768): the menu on the left, one item per 65 pixels.
menu_item() { click 30 $((65 * $1 + 32)); } # 0 checkout, 1 order list, 3 refund
first_field=(378 76)                         # checkout's amount, refund page's order number
list_query=(655 47)
list_refund=(649 91)
list_refresh=(822 91)
list_next_page=(820 482)
list_box_x=100 list_first_row_y=169 list_row_height=30

page="" # the main window's page as the script left it
show_checkout() {
  if main_visible; then
    [[ "$page" == checkout ]] || menu_item 0
  else
    xdotool key ctrl+F9 # the cash hot key shows the checkout
    wait_until 10 "checkout shown by its hot key" main_visible
  fi
  page=checkout
}

# ---------------------------------------------------------------------------------------------
# The payments. Kind of payment i (0-based): the slow outcomes at evenly spread places, the
# quick ones in a cycle; how it is entered; the code, the amount (unique, in minor units).
n_never=$(((total + 100) / 200)); ((n_never >= 1)) || n_never=1
n_late=$(((total + 25) / 50)); ((n_late >= 1)) || n_late=1
declare -A slow=()
for ((j = 0; j < n_late; j++)); do
  slow[$(((4 * j + 1) * total / (4 * n_late)))]=late-paid
  slow[$(((4 * j + 3) * total / (4 * n_late)))]=late-failed
done
for ((j = 0; j < n_never; j++)); do slow[$(((2 * j + 1) * total / (2 * n_never)))]=never; done
quick=(paid-wx:typed paid-ali:scanned refused:typed paid-wx:scanned invalid:typed paid-ali:typed
  refused-ali:scanned)

kinds=() ways=() codes=() amounts=() expected_state=()
q=0 s=0
for ((i = 0; i < total; i++)); do
  if [[ -n "${slow[$i]:-}" ]]; then
    kind=${slow[$i]}
    way=typed
    ((s++ % 2 == 0)) && way=scanned
  else
    kind=${quick[q % ${#quick[@]}]%%:*}
    way=${quick[q % ${#quick[@]}]##*:}
    ((++q))
  fi
  wx_prefix=$((10 + i % 6))
  ali_prefix=$((25 + i % 6))
  ali_width=$((14 + i % 9)) # 16 to 24 digits with the prefix
  case $kind in
  paid-wx) code=$(printf '%d%015d%d' $wx_prefix "$i" $((i % 6))) state=paid ;;
  paid-ali) code=$(printf '%d%0*d%d' $ali_prefix $((ali_width - 1)) "$i" $((i % 6))) state=paid ;;
  refused) code=$(printf '%d%015d9' $wx_prefix "$i") state=refused ;;
  refused-ali) code=$(printf '%d%0*d9' $ali_prefix $((ali_width - 1)) "$i") state=refused ;;
  invalid) code=$(printf '%d%014d1' $wx_prefix "$i") state=refused ;; # 17 digits
  late-paid) code=$(printf '%d%015d6' $wx_prefix "$i") state=paid ;;
  late-failed) code=$(printf '%d%0*d7' $ali_prefix $((ali_width - 1)) "$i") state=refused ;;
  never) code=$(printf '%d%015d8' $wx_prefix "$i") state=unresolved ;;
  esac
  # A scanner reads only codes of the two wallets' forms; "not a payment code" is typed.
  kinds+=("$kind") ways+=("$way") codes+=("$code") amounts+=($((100 + i))) expected_state+=("$state")
done
money() { printf '%d.%02d' $(($1 / 100)) $(($1 % 100)); }

# Rows in the ledger, rows not yet decided, and the last row's state and order number.
ledger_state=""
settled() {
  ledger_state="$(ledger "SELECT count(*), count(CASE WHEN state IN ('sending', 'pending') THEN 1 END),
    (SELECT state || ' ' || coalesce(out_trade_no, '-') FROM payments ORDER BY id DESC LIMIT 1)
    FROM payments")"
  [[ "${ledger_state%% *}" == "$1" && "$(cut -d' ' -f2 <<<"$ledger_state")" == 0 ]]
}

retries=0
pay() { # index
  local i=$1 amount code way start
  amount=$(money "${amounts[$i]}") code=${codes[$i]} way=${ways[$i]}
  if [[ "$way" == scanned ]]; then
    # The scanner brings the checkout up with the code in it and the amount field focused.
    local scans
    scans=$(runlog_count "收到串口数据")
    scan "$code"
    wait_until 10 "scanned code $code in the checkout" runlog_count_above "收到串口数据" "$scans"
    wait_until 10 "checkout shown by a scanned code" main_visible
    page=checkout
    type_keys "$amount" Return
  else
    show_checkout
    click "${first_field[@]}"
    # shellcheck disable=SC2046 # one key name per word
    type_keys "$amount" Return $(keys_of "$code") Return
  fi
  # Until its row is decided. A confirmation that met the previous payment still being followed
  # (its outcome was in the ledger a moment before the window knew) is confirmed again.
  local refused_confirmations
  refused_confirmations=$(runlog_count "本次确认未发送")
  start=$(now_ms)
  until settled $((i + 1)); do
    alive || die "the till ended during payment $((i + 1)) (${kinds[$i]}, $code)"
    if runlog_count_above "本次确认未发送" "$refused_confirmations"; then
      refused_confirmations=$(runlog_count "本次确认未发送")
      ((++retries))
      xdotool windowfocus --sync "$main" key Return
    fi
    (($(now_ms) - start < 120000)) || die "payment $((i + 1)) (${kinds[$i]}, $code) not decided within 120 s: $ledger_state"
    sleep 0.02
  done
}

# Paid orders not refunded yet, newest last.
refundable=()
refunds_list=() refunds_typed=() refunds_scanned=()
order_index() { sandbox_db "SELECT count(*) FROM orders WHERE out_trade_no < '$1'"; }

interlude() {
  local n=${#refundable[@]}
  ((n > 0)) || return 0
  wait_until 10 "result cards to close" no_card
  # The order list: its hot key when the main window is hidden, else its menu item.
  if main_visible; then menu_item 1; else xdotool key ctrl+F6; fi
  wait_until 10 "order list" main_width_is 873
  page=list
  local target=${refundable[n - 1]} index pages row attempt queries refreshes
  index=$(order_index "$target")
  pages=$((index / 10)) row=$((index % 10))
  # A query, the target's page, its row checked and refreshed: the refresh names the order, so
  # it shows that the right row is checked before the refund is asked for.
  for attempt in 1 2 3; do
    queries=$(journal_count mch_orderList)
    refreshes=$(journal_count auto_orderQuery "$target")
    click "${list_query[@]}"
    wait_until 10 "order list query" journal_count_above mch_orderList "" "$queries"
    if ((pages > 0)); then
      origin
      xdotool mousemove --sync 0 0 mousemove --sync $((X + list_next_page[0])) \
        $((Y + list_next_page[1])) click --repeat "$pages" --delay 5 1
    fi
    click "$list_box_x" $((list_first_row_y + list_row_height * row))
    click "${list_refresh[@]}"
    local start
    start=$(now_ms)
    until journal_count_above auto_orderQuery "$target" "$refreshes"; do
      (($(now_ms) - start < 3000)) || break
      sleep 0.02
    done
    journal_count_above auto_orderQuery "$target" "$refreshes" && break
    ((attempt < 3)) || die "order $target not found on page $((pages + 1)) row $((row + 1)) of the list"
    ((++retries))
  done
  local refunds
  refunds=$(journal_count auto_orderRefund "$target")
  click "${list_refund[@]}"
  wait_until 10 "refund of $target from the list" journal_count_above auto_orderRefund "$target" "$refunds"
  refunds_list+=("$target")
  unset 'refundable[n-1]'
  refundable=("${refundable[@]}")

  # The refund page: an order number typed, refunded in full.
  n=${#refundable[@]}
  if ((n > 0)); then
    target=${refundable[n - 1]}
    menu_item 3
    page=refund
    refunds=$(journal_count auto_orderRefund "$target")
    click "${first_field[@]}"
    type_keys "$target" Return
    wait_until 10 "typed refund of $target" journal_count_above auto_orderRefund "$target" "$refunds"
    refunds_typed+=("$target")
    unset 'refundable[n-1]'
    refundable=("${refundable[@]}")
  fi
  # An order number scanned (the page comes up with it, the amount field focused), 0.50 refunded.
  n=${#refundable[@]}
  if ((n > 0)); then
    target=${refundable[n - 1]}
    local scans
    scans=$(runlog_count "收到订单号")
    refunds=$(journal_count auto_orderRefund "$target")
    scan "$target"
    wait_until 10 "scanned order number $target" runlog_count_above "收到订单号" "$scans"
    page=refund
    type_keys 0.50 Return
    wait_until 10 "scanned refund of $target" journal_count_above auto_orderRefund "$target" "$refunds"
    refunds_scanned+=("$target")
    unset 'refundable[n-1]'
    refundable=("${refundable[@]}")
  fi
  menu_item 0
  page=checkout
}

# ---------------------------------------------------------------------------------------------
# The run.
began=$(now_ms)
wait_until 30 "login and the checkout" main_window
page=checkout
# The windows' first queries after the login (order list, day totals) are part of the start.
wait_until 15 "first order list query" journal_count_above mch_orderList "" 0
wait_until 15 "first day totals query" journal_count_above mch_orderCount "" 0
sample start
warmup=$(((total + 9) / 10))
echo "soak: $total payments, order list and refunds every $every; till pid $client_pid, display $DISPLAY"

rss_log="$work/rss.log"
for ((i = 0; i < total; i++)); do
  pay "$i"
  read -r _ _ state order <<<"$ledger_state"
  [[ "$state" == paid && "$order" != - ]] && refundable+=("$order")
  echo "$((i + 1)) $(rss_kb)" >>"$rss_log"
  if ((i + 1 == warmup)); then sample warm; fi
  if (((i + 1) % every == 0)); then interlude; fi
  if (((i + 1) % 100 == 0)); then
    echo "  $((i + 1)) payments, $((($(now_ms) - began) / 1000)) s, RSS $(($(rss_kb) / 1024)) MB"
  fi
done
sample end
elapsed=$((($(now_ms) - began) / 1000))

# ---------------------------------------------------------------------------------------------
# The accounts.
problems=()
# The journal: every payment's request, in order, with its amount and code.
jq -r 'select(.path == "/api/face") | (.body | fromjson? // {}) | select(.method == "auto_pay")
  | "\(.data.total) \(.data.authCode)"' "$journal" >"$work/journal-pays.txt"
for ((i = 0; i < total; i++)); do echo "${amounts[$i]} ${codes[$i]}"; done >"$work/expected-pays.txt"
if ! cmp -s "$work/journal-pays.txt" "$work/expected-pays.txt"; then
  problems+=("the journal's payments differ from those made: $(diff "$work/expected-pays.txt" \
    "$work/journal-pays.txt" | head -n 5 | tr '\n' ' ')")
fi
# The ledger: one row per payment, in order, with its amount, the code's last four digits and
# the state its code implies; each order it names is in the gateway's store in the same state.
ledger "SELECT amount_minor, substr(code_masked, -4), state,
  CASE WHEN out_trade_no IS NULL THEN 'no-order' ELSE 'order' END FROM payments ORDER BY id" \
  >"$work/ledger-rows.txt"
for ((i = 0; i < total; i++)); do
  case ${kinds[$i]} in refused | refused-ali | invalid) order=no-order ;; *) order=order ;; esac
  echo "${amounts[$i]} ${codes[$i]: -4} ${expected_state[$i]} $order"
done >"$work/expected-rows.txt"
if ! cmp -s "$work/ledger-rows.txt" "$work/expected-rows.txt"; then
  problems+=("the ledger's rows differ from the payments made: $(diff "$work/expected-rows.txt" \
    "$work/ledger-rows.txt" | head -n 5 | tr '\n' ' ')")
fi
mismatched="$(sqlite3 -readonly "$ledger_db" "ATTACH 'file:$data/sandbox.db?mode=ro' AS gateway;
  SELECT p.id FROM payments p LEFT JOIN gateway.orders o ON o.out_trade_no = p.out_trade_no
  WHERE p.out_trade_no IS NOT NULL AND NOT (o.total IS p.amount_minor
    AND ((p.state = 'paid' AND o.status = '1') OR (p.state = 'refused' AND o.status = '0')
      OR (p.state = 'unresolved' AND o.status = '3')))" 2>&1 | head -n 5 | tr '\n' ' ')"
[[ -z "$mismatched" ]] || problems+=("ledger rows whose gateway order does not match: $mismatched")
# Every refund asked for reached the gateway: list and typed ones in full, scanned ones 0.50.
refunds_made=$((${#refunds_list[@]} + ${#refunds_typed[@]} + ${#refunds_scanned[@]}))
check_refunds() { # AMOUNT_SQL ORDERS...
  local amount=$1 order
  shift
  for order in "$@"; do
    [[ "$(sandbox_db "SELECT order_status = '2' AND refund_total = $amount FROM orders
      WHERE out_trade_no = '$order'")" == 1 ]] || problems+=("refund of $order not in the gateway")
  done
}
check_refunds total "${refunds_list[@]}" "${refunds_typed[@]}"
check_refunds 50 "${refunds_scanned[@]}"
# The till stayed up, and kept no more descriptors or threads than after the warm-up.
alive || problems+=("the till is not running any more")
((end_fds <= warm_fds)) || problems+=("open file descriptors grew: $warm_fds after the warm-up, $end_fds at the end")
((end_threads <= warm_threads)) || problems+=("threads grew: $warm_threads after the warm-up, $end_threads at the end")

# ---------------------------------------------------------------------------------------------
# The figures.
count_of() { local n=0 k; for k in "${kinds[@]}"; do [[ "$k" == "$1" ]] && ((++n)); done; echo $n; }
typed=0
for w in "${ways[@]}"; do [[ "$w" == typed ]] && ((++typed)); done
mb() { awk -v k="$1" 'BEGIN { printf "%.1f MB", k / 1024 }'; }
growth=$((end_rss - warm_rss))
# The trend of the resident memory looked at after every payment, from the warm-up on.
trend="$(awk -v from="$warmup" '$1 >= from { n++; x += $1; y += $2; xx += $1 * $1; xy += $1 * $2 }
  END { d = n * xx - x * x; printf "%+.0f", (d > 0 ? 100 * (n * xy - x * y) / d : 0) }' "$rss_log")"
rows="$(ledger "SELECT count(*) FROM payments")"
by_state="$(ledger "SELECT state || ' ' || count(*) FROM payments GROUP BY state ORDER BY state" | paste -sd, - | sed 's/,/, /g')"
requests="$(wc -l <"$journal")"
by_method="$(jq -r '(.body | fromjson? // {} | .method) // .path' "$journal" | sort | uniq -c | sort -rn \
  | awk '{ printf "%s%s %s", (NR > 1 ? ", " : ""), $2, $1 }')"
cat <<EOF
soak: $total payments in $elapsed s ($(date '+%Y-%m-%d %H:%M'), $(nproc) cores)
payments done      $total: $typed typed, $((total - typed)) scanned; paid at once $(($(count_of paid-wx) + $(count_of paid-ali))), refused by the wallet $(($(count_of refused) + $(count_of refused-ali))), not a payment code $(count_of invalid), pending then paid $(count_of late-paid), pending then failed $(count_of late-failed), pending for ever $(count_of never)
refunds            $refunds_made: ${#refunds_list[@]} from the order list (each after a query and a refresh of that order), ${#refunds_typed[@]} typed on the refund page, ${#refunds_scanned[@]} scanned
ledger rows        $rows ($by_state)
journal requests   $requests ($by_method)
RSS                after login $(mb "$start_rss"), at 10 % (payment $warmup) $(mb "$warm_rss"), end $(mb "$end_rss"); growth after the warm-up $growth kB; trend $trend kB per 100 payments
CPU time           $end_cpu s ($start_cpu s at login, $warm_cpu s at 10 %)
open fds           after login $start_fds, at 10 % $warm_fds, end $end_fds
threads            after login $start_threads, at 10 % $warm_threads, end $end_threads
repeated actions   $retries
EOF
if ((growth < 2048)); then echo "goal               RSS growth after the warm-up under 2 MB: met"; else
  where="SOAK_KEEP=1 keeps it after every payment"
  [[ "$keep" == 0 ]] || where="after every payment: $rss_log"
  echo "goal               RSS growth after the warm-up under 2 MB: NOT met ($where)"
fi
if ((${#problems[@]} > 0)); then
  printf 'soak: FAILED: %s\n' "${problems[@]}" >&2
  failed=1
  exit 1
fi
echo "soak: every payment accounted for in the journal and the ledger; every refund in the gateway"
