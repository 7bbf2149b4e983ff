# Sourced by the start-up benchmarks: startup_report FLOOR TILL RUNS prints the medians of the
# MapTime lines ("MS KB") in the files FLOOR and TILL, and the till's ratios to the floor.
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
startup_report() {
  local floor_ms floor_kb till_ms till_kb
  floor_ms=$(cut -d' ' -f1 "$1" | median); floor_kb=$(cut -d' ' -f2 "$1" | median)
  till_ms=$(cut -d' ' -f1 "$2" | median);   till_kb=$(cut -d' ' -f2 "$2" | median)
  echo "runs: $(wc -l <"$1") floor and $(wc -l <"$2") till of $3, interleaved"
  printf 'floor  start-up %7.1f ms   RSS %6d kB\n' "$floor_ms" "$floor_kb"
  printf 'till   start-up %7.1f ms   RSS %6d kB\n' "$till_ms" "$till_kb"
  awk -v a="$till_ms" -v b="$floor_ms" -v c="$till_kb" -v d="$floor_kb" \
    'BEGIN { printf "ratio  start-up %.2fx            RSS %.2fx\n", a / b, c / d }'
}
