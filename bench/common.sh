# Shared by the benchmark scripts.

# One run: label, then the command; prints seconds and peak resident memory.
measure() {
  local label=$1
  shift
  local log
  log=$(mktemp)
  /usr/bin/time -v "$@" 2>"$log" >/dev/null || {
    echo "$label: failed"
    tail -5 "$log"
    rm -f "$log"
    return 1
  }
  local wall rss
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$log")
  rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$log")
  printf '%-48s %10s  %8.1f MiB\n' "$label" "$wall" "$(awk -v k="$rss" 'BEGIN {print k / 1024}')"
  rm -f "$log"
}
