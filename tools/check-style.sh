#!/usr/bin/env bash
# Format and tidy check of the changed lines of the C++ sources (.clang-format, .clang-tidy).
#   tools/check-style.sh [SOURCE_DIR [BUILD_DIR]]
#
# Which lines count as changed: those that differ from the base, plus uncommitted ones. The base
# is $STYLE_BASE when set; otherwise the merge base with main (origin/main, or the local main
# branch) when the checked-out commit is not on main itself; otherwise, as in CI's clean clone of
# main, the commit before the newest one, so that each run on main checks what its newest commit
# (or merge) brought. A clone without history to compare with checks nothing and says so.
#
# Formatting that differs on a changed line fails the check (the fix is `git clang-format BASE`).
# clang-tidy runs over the changed lines of the changed product sources with the compile
# commands of BUILD_DIR; what it finds fails the check too.
set -euo pipefail
src=$(cd "${1:-$(dirname "$0")/..}" && pwd)
build=${2:-$src/build}
cd "$src"

if ! git rev-parse --git-dir >/dev/null 2>&1; then
  echo "check-style: not a git work tree, nothing to compare with"
  exit 0
fi

base=${STYLE_BASE:-}
if [ -z "$base" ]; then
  for ref in origin/main main; do
    if git rev-parse -q --verify "$ref^{commit}" >/dev/null; then
      mb=$(git merge-base HEAD "$ref" || true)
      if [ -n "$mb" ] && [ "$mb" != "$(git rev-parse HEAD)" ]; then base=$mb; fi
      break
    fi
  done
fi
if [ -z "$base" ]; then
  if git rev-parse -q --verify 'HEAD~1^{commit}' >/dev/null; then
    base=$(git rev-parse HEAD~1)
  else
    echo "check-style: no earlier commit to compare with, nothing to check"
    exit 0
  fi
fi
echo "check-style: lines changed since $(git rev-parse --short "$base")"

dirs=(app common controls mainwin tabstrip platform updater tools tests bench)
status=0

# ---- Format ----
format=$(git clang-format --binary clang-format --diff "$base" -- "${dirs[@]}" 2>&1 || true)
case "$format" in
  "" | *"no modified files to format"* | *"did not modify any files"*) ;;
  *)
    echo "$format"
    echo "check-style: formatting differs on changed lines (git clang-format $base fixes it)"
    status=1
    ;;
esac

# ---- Tidy ----
# The changed line ranges of each changed product source, as clang-tidy's line filter.
product=(app common controls mainwin tabstrip platform updater)
mapfile -t files < <(git diff --name-only --diff-filter=AM "$base" -- "${product[@]}" |
  grep -E '\.cpp$' || true)
if [ ${#files[@]} -gt 0 ]; then
  if [ ! -f "$build/compile_commands.json" ]; then
    echo "check-style: $build/compile_commands.json is missing (configure the build first)"
    exit 1
  fi
  filter="["
  for f in "${files[@]}"; do
    ranges=$(git diff -U0 "$base" -- "$f" |
      sed -n 's/^@@ -[0-9,]* +\([0-9]*\)\(,\([0-9]*\)\)\{0,1\} @@.*/\1 \3/p' |
      awk '{n = ($2 == "") ? 1 : $2; if (n > 0) printf "%s[%d,%d]", sep, $1, $1 + n - 1; sep = ","}')
    [ -n "$ranges" ] || continue
    [ "$filter" = "[" ] || filter+=","
    filter+="{\"name\":\"$f\",\"lines\":[$ranges]}"
  done
  filter+="]"
  if [ "$filter" != "[]" ]; then
    out=$(clang-tidy -p "$build" --quiet --line-filter="$filter" "${files[@]}" 2>/dev/null || true)
    if printf '%s\n' "$out" | grep -qE ': (warning|error): '; then
      printf '%s\n' "$out"
      echo "check-style: clang-tidy findings on changed lines"
      status=1
    fi
  fi
fi

# ---- Unused includes ----
# misc-include-cleaner came with clang-tidy 17; this Debian's own clang-tidy is 14, so the check
# runs with clang-tidy-19 (installed by tools/install-deps.sh) where it is present. Only its
# unused-include half counts, over the whole of each changed product source (an include becomes
# unused by a change elsewhere in the file); its missing-include half would have every file name
# each header that provides a symbol it reaches through another one.
if [ ${#files[@]} -gt 0 ] && command -v clang-tidy-19 >/dev/null; then
  out=$(clang-tidy-19 -p "$build" --quiet --checks='-*,misc-include-cleaner' "${files[@]}" \
    2>/dev/null | grep 'is not used directly' || true)
  if [ -n "$out" ]; then
    printf '%s\n' "$out"
    echo "check-style: unused includes in changed files"
    status=1
  fi
fi

[ $status -eq 0 ] && echo "check-style: clean"
exit $status
