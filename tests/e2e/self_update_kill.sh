#!/usr/bin/env bash
# The updater killed (SIGKILL) at every stage: before its window, at each tenth of the client's
# download, and at its end message. After each kill a client is in place, whole (the old one, or
# the new one once it was installed), starts and works.
source "$(dirname "$0")/lib/common.sh"
source "$(dirname "$0")/lib/update.sh"
if [ "${1:-}" != inside ]; then
  in_netns online bash "$0" inside
  exit
fi

install_client
serve_next_version --rate 8000000
full=$(stat -c %s "$NEXT_CLIENT_EXE")

# largest_part: the size of the largest temporary file in the client's directory.
largest_part() {
  local f m=0 s
  for f in "$inst"/.talmar2-update-*; do
    [ -e "$f" ] || continue
    s=$(stat -c %s "$f" 2>/dev/null || echo 0)
    [ "$s" -gt "$m" ] && m=$s
  done
  echo "$m"
}

for point in 0 1 2 3 4 5 6 7 8 9 end; do
  CLIENT_BASE_URL=$base "$inst/Zorvik_talmar2" &
  client=$!
  pids+=($client)
  box=$(wait_window "提示" 30) || fail "$point: no update question"
  xdotool windowactivate --sync "$box" key --clearmodifiers Return
  wait_exit "$client" 30
  updater=
  for _ in $(seq 1 200); do
    updater=$(updater_pid)
    [ -n "$updater" ] && break
    sleep 0.02
  done
  [ -n "$updater" ] || fail "$point: no updater process"
  case $point in
    0) ;;
    end) wait_window "提示" 60 >/dev/null || fail "end: no end message" ;;
    *)
      for _ in $(seq 1 400); do
        [ "$(largest_part)" -ge $((full * point / 10)) ] && break
        kill -0 "$updater" 2>/dev/null || break
        sleep 0.01
      done
      ;;
  esac
  kill -KILL "$updater" 2>/dev/null || true
  wait_exit "$updater" 10
  if cmp -s "$inst/Zorvik_talmar2" "$CLIENT_EXE"; then
    cmp -s "$inst/libtalmar2-web.so" "$WEB_MODULE" || fail "$point: new module beside the old client"
  elif cmp -s "$inst/Zorvik_talmar2" "$NEXT_CLIENT_EXE"; then
    # Installed before the kill: the run got past its downloads.
    [ "$point" = end ] || [ "$point" -ge 9 ] || fail "$point: installed before the download ended"
    cmp -s "$inst/libtalmar2-web.so" "$NEXT_WEB_MODULE" || fail "$point: old module beside the new client"
  else
    fail "$point: the client in place is neither the old nor the new one"
  fi
  echo "kill at $point: $("$inst/Zorvik_talmar2" --version) in place"
  if cmp -s "$inst/Zorvik_talmar2" "$CLIENT_EXE"; then
    client_works "kill at $point" start
  else
    client_works "kill at $point" start current
  fi
  # Each round starts from the old version.
  install_client
done
# What killed runs left behind is cleared by the next run's updater, not by the client; the
# clients above started regardless.
echo "self update kill loop: ok"
