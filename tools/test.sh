#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test on a private X desktop; then builds
# everything again under AddressSanitizer and UBSan (in build-asan/, or $ASAN_BUILD_DIR) and runs
# the unit, network and GUI tests there too. Any error a sanitizer reports, in a test or in a
# program a test starts, fails the run, also when the test itself passed.
#
# A failing test fails the run, with one exception: a test labelled desktop-timing (it drives
# real input through the X server, the window manager or a compositor, whose timing on a small,
# shared machine is not the client's) gets a second and a third try, each on a fresh desktop.
# Every retry is listed at the end, passed or not, so that flakiness stays visible.
#
# Arguments go to ctest (for example -R regex or -L label) and run the plain build's tests only.
# --asan (first argument): only the sanitizer build's tests, with the ctest arguments that follow.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# Runs the tests of the build in $1 (ctest arguments follow) with the retries above; the exit
# status says whether they passed.
run_tests() (
  cd "$1" || exit 1
  shift
  run() { "$root/tools/with-desktop.sh" ctest --output-on-failure --timeout 300 "$@"; }
  failed_log=Testing/Temporary/LastTestsFailed.log
  rm -f "$failed_log"
  if run -j2 "$@"; then exit 0; fi

  names() { sed -n 's/^ *Test *#[0-9]*: *//p'; }
  failed=$(cut -d: -f2- "$failed_log" 2>/dev/null | sort -u || true)
  timing=$(ctest -N -L desktop-timing "$@" | names | sort -u)
  retry=$(comm -12 <(printf '%s\n' "$failed") <(printf '%s\n' "$timing") | sed '/^$/d')
  hard=$(comm -23 <(printf '%s\n' "$failed") <(printf '%s\n' "$timing") | sed '/^$/d')

  status=0
  [ -n "$hard" ] && status=1
  summary=()
  for name in $retry; do
    pattern="^$(printf '%s' "$name" | sed 's/[][\.*^$+?(){}|/]/\\&/g')\$"
    outcome="failed 3 times"
    for attempt in 2 3; do
      if run -R "$pattern"; then
        outcome="failed, passed on try $attempt"
        break
      fi
    done
    [ "$outcome" = "failed 3 times" ] && status=1
    summary+=("  $name: $outcome")
  done

  echo
  echo "== Test run summary ($PWD) =="
  if [ -n "$hard" ]; then
    echo "Failed (not retried):"
    printf '  %s\n' $hard
  fi
  if [ ${#summary[@]} -gt 0 ]; then
    echo "Retried (desktop-timing):"
    printf '%s\n' "${summary[@]}"
  fi
  [ -z "$failed" ] && echo "ctest failed without a failed test (see its output above)" && status=1
  exit $status
)

# Both parts run in a condition (||), where bash ignores errexit: each step checks its own status.
plain() {
  bash "$root/tools/build.sh" || return 1
  run_tests "${BUILD_DIR:-$root/build}" "$@"
}

sanitized() {
  local build=${ASAN_BUILD_DIR:-$root/build-asan}
  bash "$root/tools/install-deps.sh" || return 1
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} \
    -DCLIENT_SANITIZE=ON -DCLIENT_BUILD_BENCH=OFF >/dev/null || return 1
  BUILD_DIR=$build bash "$root/tools/build.sh" Zorvik_talmar2 unit_tests net_tests gui_tests \
    tray-watcher x-helper || return 1
  # Every report goes to a file of its own (report.<pid>): a process a test starts, or a retried
  # test that passes on its next try, cannot hide one. GTK and GLib keep their per-process caches
  # until exit: leaks are not what this run is for.
  local reports=$build/sanitizer-reports
  rm -rf "$reports"
  mkdir -p "$reports"
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:detect_odr_violation=0:log_path=$reports/report
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:log_path=$reports/report
  local status=0
  run_tests "$build" -L '^(unit|net|gui)' "$@" || status=1
  if [ -n "$(ls -A "$reports")" ]; then
    echo
    echo "== Sanitizer reports ($reports) =="
    for report in "$reports"/*; do
      echo "-- $report"
      cat "$report"
    done
    status=1
  fi
  return $status
}

if [ "${1:-}" = --asan ]; then
  shift
  sanitized "$@"
elif [ $# -gt 0 ]; then
  plain "$@"
else
  status=0
  plain || status=1
  sanitized || status=1
  exit $status
fi
