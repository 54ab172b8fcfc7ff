# Helpers of the self-update scripts (sourced after common.sh). Needs NEXT_CLIENT_EXE,
# NEXT_WEB_MODULE, NEXT_VERSION and WEB_MODULE besides what common.sh needs.

inst=$work/inst
files=$work/files

# install_client: the current client and its web module in a directory of their own.
install_client() {
  mkdir -p "$inst"
  # Copied beside and renamed, as an installer does, so a client still ending does not matter.
  cp "$CLIENT_EXE" "$inst/.install" && mv -f "$inst/.install" "$inst/Zorvik_talmar2"
  cp "$WEB_MODULE" "$inst/.install" && mv -f "$inst/.install" "$inst/libtalmar2-web.so"
  chmod 644 "$inst/libtalmar2-web.so"
}

# file_line LABEL NAME: a manifest line for the file NAME of $files, with its SHA-256 and size.
file_line() {
  printf '%s|%s/gamehome/talmar2/files/%s|%s|%s\r\n' "$1" "$base" "$2" \
    "$(sha256sum "$files/$2" | cut -d' ' -f1)" "$(stat -c %s "$files/$2")"
}

# write_manifest [extra lines...]: the next version's manifest for this game: the web module,
# then the client, last, each with its SHA-256 and size.
write_manifest() {
  {
    printf 'version=%s\r\nproduct=talmar2\r\n' "$NEXT_VERSION"
    for extra in "$@"; do printf '%s\r\n' "$extra"; done
    file_line talmar2-web libtalmar2-web.so
    file_line client Zorvik_talmar2
  } >"$work/update.txt"
}

# utc_in SECONDS: the UTC time that far from now, as a manifest's expiry line wants it.
utc_in() { date -u -d "@$(($(date +%s) + $1))" +%Y-%m-%dT%H:%M:%SZ; }

# serve_next_version [portal args...]: the demo portal with the next version's files.
serve_next_version() {
  mkdir -p "$files"
  cp "$NEXT_CLIENT_EXE" "$files/Zorvik_talmar2"
  cp "$NEXT_WEB_MODULE" "$files/libtalmar2-web.so"
  : >"$work/update.txt"
  start_portal --manifest "$work/update.txt" --files "$files" "$@"
  write_manifest
}

updater_pid() { pgrep -f "^$private_tmp/Update " | head -n 1 || true; }

# run_client_to_updater: starts the installed client, accepts the update and waits for the
# updater's window.
run_client_to_updater() {
  CLIENT_BASE_URL=$base "$inst/Zorvik_talmar2" &
  client=$!
  pids+=($client)
  local box
  box=$(wait_window "提示" 30) || fail "no update question appeared"
  expect_box 提示 "发现有新版本，是否现在更新！"
  xdotool windowactivate --sync "$box" key --clearmodifiers Return
  wait_exit "$client" 30
  wait_window "更新" 30 >/dev/null || fail "the updater's window did not appear"
  updater=$(updater_pid)
  [ -n "$updater" ] || fail "no updater process"
  pids+=($updater)
}

# wait_part_growing: a temporary file of the updater grows in the client's directory.
wait_part_growing() {
  local f size
  for _ in $(seq 1 200); do
    f=$(ls -A "$inst" | grep '^\.talmar2-update-' | head -n 1 || true)
    if [ -n "$f" ]; then
      size=$(stat -c %s "$inst/$f" 2>/dev/null || echo 0)
      [ "$size" -gt 0 ] && return 0
    fi
    sleep 0.05
  done
  return 1
}

# answer_end_message [TEXT]: waits for the updater's end message (saying TEXT, when given) and
# confirms it.
answer_end_message() {
  local box
  box=$(wait_window "提示" 60) || fail "no end message appeared"
  [ -z "${1:-}" ] || expect_box 提示 "$1"
  xdotool windowactivate --sync "$box" key --clearmodifiers Return
  wait_exit "$updater" 20
}

# wait_client_running: a client process runs from the installed copy.
wait_client_running() {
  for _ in $(seq 1 100); do
    local p
    p=$(pgrep -f "^$inst/Zorvik_talmar2" | head -n 1 || true)
    if [ -n "$p" ]; then pids+=($p); return 0; fi
    sleep 0.1
  done
  return 1
}

# wait_login_page: the portal was asked for the login page (the client is up and working).
wait_login_page() {
  for _ in $(seq 1 300); do
    grep -q 'request: GET /games/talmar2/dlq/' "$work/portal.log" && return 0
    sleep 0.1
  done
  return 1
}

# answer_question_no: the restarted client asks about the update again; the user says No.
answer_question_no() {
  local box
  box=$(wait_window "提示" 30) || fail "the client did not ask about the update"
  xdotool windowactivate --sync "$box" key --clearmodifiers alt+n
}

# expect_old_client_back: the updater ended without installing anything; the previous client
# is in place, was started again and reaches its login page.
expect_old_client_back() {
  cmp -s "$inst/Zorvik_talmar2" "$CLIENT_EXE" || fail "$1: the client was changed"
  cmp -s "$inst/libtalmar2-web.so" "$WEB_MODULE" || fail "$1: the web module was changed"
  [ -z "$(ls -A "$inst" | grep '^\.talmar2-update-' || true)" ] || fail "$1: temporary files were left"
  client_works "$1"
}

# client_works WHAT [start [current]]: a client runs from the installed copy (started by the
# updater, or by us with "start"), declines the offered update (a current one is offered none)
# and shows its login page; then it is ended.
client_works() {
  local before p
  before=$(grep -c 'request: GET /games/talmar2/dlq/' "$work/portal.log" || true)
  if [ "${2:-}" = start ]; then
    CLIENT_BASE_URL=$base "$inst/Zorvik_talmar2" &
    pids+=($!)
  fi
  wait_client_running || fail "$1: no client was started"
  [ "${3:-}" = current ] || answer_question_no
  for _ in $(seq 1 300); do
    [ "$(grep -c 'request: GET /games/talmar2/dlq/' "$work/portal.log" || true)" -gt "$before" ] && break
    sleep 0.1
  done
  [ "$(grep -c 'request: GET /games/talmar2/dlq/' "$work/portal.log" || true)" -gt "$before" ] \
    || fail "$1: the client did not reach its login page"
  for p in $(pgrep -f "^$inst/Zorvik_talmar2" || true); do kill "$p" 2>/dev/null || true; done
  for _ in $(seq 1 100); do
    [ -z "$(pgrep -f "^$inst/Zorvik_talmar2" || true)" ] && return 0
    sleep 0.1
  done
  pgrep -af "^$inst/Zorvik_talmar2" >&2
  fail "$1: the client did not end"
}

# wait_box_gone: no message box is on the screen any more (its grab ends with it).
wait_box_gone() {
  for _ in $(seq 1 100); do
    [ -z "$(xdotool search --onlyvisible --name '^提示$' 2>/dev/null || true)" ] && return 0
    sleep 0.05
  done
  fail "a message box stayed on the screen"
}

# click_close_button: presses the updater's close button (43 x 18, 730 twips from the right).
click_close_button() {
  local id
  id=$(wait_window "更新" 10) || fail "no updater window"
  eval "$(xdotool getwindowgeometry --shell "$id")"
  xdotool mousemove $((X + WIDTH - 49 + 21)) $((Y + 9)) click 1
}
