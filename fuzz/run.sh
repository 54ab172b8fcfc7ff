#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each over its checked-in corpus.
#   fuzz/run.sh [--seconds S | --runs N] [--out DIR] [--build DIR] [TARGET...]
# The code under test is compiled here with clang; what it calls in the platform layer comes
# from that layer's library in the build tree (BUILD_DIR or --build, default build/), built
# first when missing. Exits 77 (a skipped test to CTest) when clang or its fuzzing runtime is
# missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${TMPDIR:-/tmp}/client-fuzz
build=${BUILD_DIR:-$root/build}
limit=(-max_total_time=3)
targets=()
while [ $# -gt 0 ]; do
  case $1 in
    --seconds) limit=(-max_total_time="$2"); shift 2 ;;
    --runs) limit=(-runs="$2"); shift 2 ;;
    --out) out=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    *) targets+=("$1"); shift ;;
  esac
done
[ ${#targets[@]} -gt 0 ] || targets=(manifest_version login_command tab_items http_headers)

cxx=$(command -v clang++ || true)
if [ -z "$cxx" ]; then
  echo "clang++ not found: fuzz targets skipped (tools/install-deps.sh installs it)"
  exit 77
fi
mkdir -p "$out"
probe="$out/probe.cpp"
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' >"$probe"
if ! "$cxx" -fsanitize=fuzzer "$probe" -o "$out/probe" 2>/dev/null; then
  echo "clang++ has no libFuzzer runtime: fuzz targets skipped"
  exit 77
fi

includes=()
for layer in platform/system platform/gdi platform/window platform/desktop platform/webhost common app \
    tabstrip mainwin controls; do includes+=(-I "$root/$layer/include"); done
flags=(-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -fno-omit-frame-pointer "${includes[@]}")

platform_lib() {
  local rooms=(desktop webhost window gdi system) room
  for room in "${rooms[@]}"; do
    [ -f "$build/platform/libplatform_$room.a" ] ||
      cmake --build "$build" --target "platform_$room" >/dev/null
  done
  for room in "${rooms[@]}"; do echo "$build/platform/libplatform_$room.a"; done
  pkg-config --libs gtk+-3.0 libcurl gio-2.0 gio-unix-2.0 cairo pangocairo
  echo -lX11 -lXext -ldl
}

# The shared layer (the command's "|" splitting lives there) over the platform layer.
common_lib() {
  local layer
  for layer in common controls; do
    [ -f "$build/$layer/lib$layer.a" ] || cmake --build "$build" --target "$layer" >/dev/null
    echo "$build/$layer/lib$layer.a"
  done
  platform_lib
  echo -lcrypto
}

build() {
  local name=$1
  shift
  "$cxx" "${flags[@]}" "$@" -o "$out/$name"
}

for t in "${targets[@]}"; do
  case $t in
    manifest_version) build "$t" "$root/fuzz/$t.cpp" "$root/common/src/ManifestVersion.cpp" ;;
    login_command) build "$t" "$root/fuzz/$t.cpp" "$root/app/src/LoginCommands.cpp" $(common_lib) ;;
    tab_items) build "$t" "$root/fuzz/$t.cpp" "$root/tabstrip/src/CTabItems.cpp" \
      "$root/tabstrip/src/CTabItem.cpp" "$root/tabstrip/src/Variant.cpp" $(platform_lib) ;;
    http_headers) build "$t" "$root/fuzz/$t.cpp" "$root/platform/system/src/SystemLibraries.cpp" \
      "$root/platform/system/src/EventLog.cpp" $(pkg-config --cflags libcurl) -ldl ;;
    *) echo "unknown target $t" >&2; exit 2 ;;
  esac
  # New inputs go to a scratch corpus; the checked-in one is only read.
  scratch="$out/corpus-$t"
  mkdir -p "$scratch"
  echo "== $t"
  "$out/$t" "${limit[@]}" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    "$scratch" "$root/fuzz/corpus/$t" 2>"$out/$t.log" || { tail -n 40 "$out/$t.log"; exit 1; }
  grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$out/$t.log" || true
done
