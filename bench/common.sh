# Shared by the benchmark scripts (sourced from the repository's root).

# Builds quorve when $QUORVE is not an executable, makes $DATA when it is missing,
# and installs /usr/bin/time when it is not there.
prepare_run() {
  if [[ ! -x $QUORVE ]]; then
    cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DQUORVE_TESTS=OFF >/dev/null
    cmake --build build-release --target quorve -j2 >/dev/null
    QUORVE=build-release/quorve
  fi
  [[ -s $DATA ]] || bench/make_data.sh
  if [[ ! -x /usr/bin/time ]]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq time >/dev/null
  fi
}

# One run: label, then the command; prints seconds and peak resident memory. The
# wall and CPU (user + system) seconds stay in MEASURED_WALL and MEASURED_CPU.
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
  MEASURED_WALL=$(awk -v t="$wall" 'BEGIN {n = split(t, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s}')
  MEASURED_CPU=$(awk -F': ' '/User time|System time/ {s += $2} END {print s}' "$log")
  printf '%-48s %10s  %8.1f MiB\n' "$label" "$wall" "$(awk -v k="$rss" 'BEGIN {print k / 1024}')"
  rm -f "$log"
}
