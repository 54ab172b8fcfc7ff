#!/usr/bin/env bash
# Runs every benchmark, one after the other, and prints one table of their figures against
# their peers (each benchmark measures its peer in the same run):
#   bench/all.sh
# The full output of each goes to $BENCH_LOG_DIR (default: a new directory under /tmp, named at
# the end); with BENCH_REUSE_LOGS=1 and the directory of an earlier run, the table is made again
# from its logs without running anything. BUILD_DIR selects the build tree. Run it on a quiet machine: the figures are only as
# steady as the machine; on a shared one, say so beside them.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
export BUILD_DIR=$build
logs=${BENCH_LOG_DIR:-$(mktemp -d /tmp/client-bench-XXXXXX)}
mkdir -p "$logs"

if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
[ -n "${BENCH_REUSE_LOGS:-}" ] || echo "building the benchmarks..." >&2
[ -n "${BENCH_REUSE_LOGS:-}" ] || cmake --build "$build" --target download_bench startup_bench startup_peer login_bench login_floor \
  tabstrip_bench controls_idle_bench tabs_peer Zorvik_talmar2 demo-portal >"$logs/build.log" 2>&1 ||
  { echo "bench: build failed, see $logs/build.log" >&2; exit 1; }

rows=()
# row BENCHMARK MEASURE OURS PEER RATIO GOAL
sep=$'\x1f'  # not whitespace, so empty fields stay fields
row() { local IFS=$sep; rows+=("$*"); }
failed=()
run() {
  local name=$1
  shift
  if [ -n "${BENCH_REUSE_LOGS:-}" ] && [ -s "$logs/$name.log" ]; then return 0; fi
  echo "running $name..." >&2
  local start=$SECONDS
  if ! "$@" >"$logs/$name.log" 2>&1; then
    failed+=("$name")
    echo "  $name failed after $((SECONDS - start)) s, see $logs/$name.log" >&2
    return 1
  fi
  echo "  $name: $((SECONDS - start)) s" >&2
}

if run download bash "$root/bench/download/run.sh"; then
  read -r ours theirs < <(sed -n 's/^median  COrvDownLoadFile \([0-9.]*\) MB\/s, curl \([0-9.]*\) MB\/s.*/\1 \2/p' "$logs/download.log")
  ratio=$(sed -n 's/^ratio   \([0-9.]*\).*/\1/p' "$logs/download.log")
  row download "throughput, 200 MB over loopback (MB/s; peer curl)" "$ours" "$theirs" "$ratio" ">= 0.9"
  read -r ours theirs < <(sed -n 's/^peak RSS  COrvDownLoadFile \([0-9]*\) KiB, curl \([0-9]*\) KiB.*/\1 \2/p' "$logs/download.log")
  [ -n "$ours" ] && row download "peak RSS (KiB; peer curl)" "$ours" "$theirs" \
    "$(awk -v a="$ours" -v b="$theirs" 'BEGIN{printf "%.2f", a / b}')" ""
fi

if run startup bash "$root/bench/startup/run.sh"; then
  ours=$(sed -n 's/^program: .*picture \([0-9.]*\) ms.*/\1/p' "$logs/startup.log")
  theirs=$(sed -n 's/^peer: .*picture \([0-9.]*\) ms.*/\1/p' "$logs/startup.log")
  ratio=$(sed -n 's/^ratio program\/peer: picture \([0-9.]*\).*/\1/p' "$logs/startup.log")
  row startup "exec to splash on screen (ms; peer: one GTK window)" "$ours" "$theirs" "$ratio" "<= 1.5"
  ours=$(sed -n 's/^program: .*picture [0-9.]* ms (processor \([0-9.]*\) ms).*/\1/p' "$logs/startup.log")
  theirs=$(sed -n 's/^peer: .*picture [0-9.]* ms (processor \([0-9.]*\) ms).*/\1/p' "$logs/startup.log")
  ratio=$(sed -n 's/^ratio program\/peer: picture [0-9.]* (processor \([0-9.]*\)).*/\1/p' "$logs/startup.log")
  row startup "processor time until then (ms)" "$ours" "$theirs" "$ratio" ""
fi

if run login bash "$root/bench/login/run.sh"; then
  read -r cv ca cp < <(awk '/^  client +visible/{print $3, $9, $12}' "$logs/login.log")
  read -r fv fa fp < <(awk '/^  floor +visible/{print $3, $9, $12}' "$logs/login.log")
  read -r rv ra rp < <(sed -n 's/^ratio client\/floor: time to page visible \([0-9.]*\).*anonymous memory \([0-9.]*\).*PSS \([0-9.]*\).*/\1 \2 \3/p' "$logs/login.log")
  row login "exec to login page visible (ms; peer: one web view)" "$cv" "$fv" "$rv" "<= 1.1"
  row login "anonymous memory, all processes (MiB)" "$ca" "$fa" "$ra" "<= 1.1"
  row login "PSS, all processes (MiB)" "$cp" "$fp" "$rp" ""
fi

if run mainwin bash "$root/bench/mainwin/run.sh"; then
  read -r cv lv gv < <(sed -n 's/^time: client \([0-9.]*\) ms; floor login page \([0-9.]*\) ms + game page \([0-9.]*\) ms.*/\1 \2 \3/p' "$logs/mainwin.log")
  rv=$(sed -n 's/^ratio client\/(floor login + floor game): \([0-9.]*\).*/\1/p' "$logs/mainwin.log")
  row mainwin "exec to first game page visible (ms; peer: one web view's login page + game page)" "$cv" \
    "$(awk -v a="$lv" -v b="$gv" 'BEGIN{printf "%.1f", a + b}')" "$rv" "<= 1.2"
  read -r ca fa ra < <(sed -n 's/^anonymous: client with three tabs \([0-9.]*\) MiB, floor with one page \([0-9.]*\) MiB, ratio \([0-9.]*\).*/\1 \2 \3/p' "$logs/mainwin.log")
  row mainwin "anonymous memory, three game tabs (MiB; peer: one web view, one page)" "$ca" "$fa" "$ra" "<= 2.2"
  cpu=$(sed -n 's/^CPU: \([0-9.]*\) s over.*/\1/p' "$logs/mainwin.log")
  row mainwin "CPU time over 30 s, three game tabs, one selected (s)" "$cpu" "" "" ""
fi

if run tabstrip bash "$root/bench/tabstrip/run.sh"; then
  # Rows: style tabs case... mean median frame % peer ratio, the ratio being median/peer; the
  # full redraw with its presentation and the hover repaint with 50 tabs.
  while IFS=$sep read -r style what median peer ratio; do
    row tabstrip "$what, 50 tabs, style $style (median us; peer: fill of the strip)" "$median" "$peer" "$ratio" ""
  done < <(awk -v sep="$sep" '$1 ~ /^[01]$/ && $2 == 50 && ($3 == "RedrawAll+present" || $3 == "hover") {
      print $1 sep $3 sep $(NF - 4) sep $(NF - 1) sep $NF }' "$logs/tabstrip.log")
  while read -r style pct; do
    row tabstrip "full redraw of 50 tabs, style $style (% of a frame)" "$pct" "" "" "<= 2"
  done < <(sed -n 's/^full redraw of 50 tabs, style \([01]\): .* = \([0-9.]*\) % of a frame.*/\1 \2/p' "$logs/tabstrip.log")
fi

if run controls_idle bash "$root/bench/controls_idle/run.sh"; then
  read -r away hover < <(sed -n 's/^timer wake-ups per second: away \([0-9.]*\), hovering \([0-9.]*\).*/\1 \2/p' "$logs/controls_idle.log")
  row controls_idle "timer wake-ups/s, pointer away (peer: none)" "$away" "" "" "0"
  row controls_idle "timer wake-ups/s, hovering (peer: the 50 ms poll, 20/s)" "$hover" "20" \
    "$(awk -v a="$hover" 'BEGIN{printf "%.2f", a / 20}')" "<= 1"
fi

if run tabs bash "$root/bench/tabs/run.sh"; then
  read -r r c3 c1 < <(sed -n 's/^cpu three tabs\/one tab: client \([0-9.]*\) (\([0-9.]*\) s \/ \([0-9.]*\) s).*/\1 \2 \3/p' "$logs/tabs.log")
  row tabs "CPU s, three live game tabs against one (peer: the client with one tab)" "$c3" "$c1" "$r" "<= 1.1"
  read -r r a b < <(sed -n 's/^cpu client process\/peer host, one live tab: \([0-9.]*\) (\([0-9.]*\) s \/ \([0-9.]*\) s).*/\1 \2 \3/p' "$logs/tabs.log")
  row tabs "CPU s of the client process, one live tab (peer: GTK host of one web view)" "$a" "$b" "$r" "<= 1.1"
  read -r r a b < <(sed -n 's/^anonymous memory three tabs, client\/peer: \([0-9.]*\) (\([0-9.]*\) MiB \/ \([0-9.]*\) MiB).*/\1 \2 \3/p' "$logs/tabs.log")
  row tabs "anonymous memory, three live tabs (MiB; peer: GTK notebook of three web views)" "$a" "$b" "$r" "<= 1.0"
  read -r r a b < <(sed -n 's/^open to first frame at the eighth tab, client\/peer: \([0-9.]*\) (\([0-9]*\) ms \/ \([0-9]*\) ms.*/\1 \2 \3/p' "$logs/tabs.log")
  row tabs "address handed over to the eighth tab's first frame (ms; peer: GTK notebook)" "$a" "$b" "$r" "<= 1.1"
  fps=$(sed -n 's/^server [12]: \([0-9.]*\) frames\/s.*unselected.*/\1/p' "$logs/tabs.log" | head -2 | paste -sd/ -)
  row tabs "frames/s of the two unselected tabs" "$fps" "" "" "0"
fi

echo
printf '| %s | %s | %s | %s | %s | %s |\n' benchmark measure ours peer ratio goal
printf '|---|---|---:|---:|---:|---|\n'
for r in "${rows[@]}"; do
  IFS=$sep read -r a b c d e f <<<"$r"
  printf '| %s | %s | %s | %s | %s | %s |\n' "$a" "$b" "${c:--}" "${d:--}" "${e:--}" "${f:--}"
done
echo
[ -n "${BENCH_REUSE_LOGS:-}" ] && [ -s "$logs/machine.txt" ] ||
  echo "$(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) at the end" >"$logs/machine.txt"
echo "machine: $(cat "$logs/machine.txt"); logs in $logs"
if [ "${#failed[@]}" -gt 0 ]; then
  echo "failed: ${failed[*]}" >&2
  exit 1
fi
