#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test on a private X desktop.
#
# A failing test fails the run, with one exception: a test labelled desktop-timing (it drives
# real input through the X server, the window manager or a compositor, whose timing on a small,
# shared machine is not the client's) gets a second and a third try, each on a fresh desktop.
# Every retry is listed at the end, passed or not, so that flakiness stays visible. Arguments
# go to ctest (for example -R regex or -L label).
#
# --asan (first argument): the unit, network and GUI tests of a build under AddressSanitizer
# and UBSan, in build-asan/ (or $BUILD_DIR); the first error a sanitizer finds fails its test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ "${1:-}" = --asan ]; then
  shift
  export BUILD_DIR=${BUILD_DIR:-$root/build-asan}
  bash "$root/tools/install-deps.sh"
  cmake -S "$root" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} \
    -DCLIENT_SANITIZE=ON -DCLIENT_BUILD_BENCH=OFF >/dev/null
  bash "$root/tools/build.sh" Zorvik_talmar2 unit_tests net_tests gui_tests tray-watcher x-helper
  # GTK and GLib keep their per-process caches until exit: leaks are not what this run is for.
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:detect_odr_violation=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  set -- -L '^(unit|net|gui)' "$@"
else
  bash "$root/tools/build.sh"
fi
build=${BUILD_DIR:-$root/build}
cd "$build"

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
echo "== Test run summary =="
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
