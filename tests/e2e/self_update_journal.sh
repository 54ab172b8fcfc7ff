#!/usr/bin/env bash
# The update journal as the client's next start meets it: an update of 1,200 files killed at
# eleven points of its renames is finished by the next start (the client, its web module and
# every file match); a journal the client cannot act on in a read-only directory gives one
# start, not a loop; a journal a live updater holds makes the client say so and end.
source "$(dirname "$0")/lib/common.sh"
source "$(dirname "$0")/lib/update.sh"
if [ "${1:-}" != inside ]; then
  IN_NETNS_MOUNTS=1 in_netns online bash "$0" inside
  exit
fi

# The next version: the client (first in the manifest, which the portal sorts by name), 1,200
# data files, the web module (last).
mkdir -p "$files" "$work/old"
cp "$NEXT_CLIENT_EXE" "$files/Zorvik_talmar2"
cp "$NEXT_WEB_MODULE" "$files/libtalmar2-web.so"
for i in $(seq -w 1 1200); do
  echo "new $i" >"$files/d$i.dat"
  echo "old $i" >"$work/old/d$i.dat"
done
start_portal --version "$NEXT_VERSION" --files "$files"
mkdir -p "$private_tmp"
chmod 700 "$private_tmp"
curl -sf "$base/gamehome/talmar2/update.txt" >"$private_tmp/update.txt"

# backups: the previous files moved aside.
backups() { ls -A "$inst" | grep -c -- '-old$' || true; }
clients() { pgrep -f "^$inst/Zorvik_talmar2" || true; }
# end_clients: ends every client of the installed copy, also one that a client ending now has
# just started in its place.
end_clients() {
  local p
  for _ in $(seq 1 100); do
    [ -z "$(clients)" ] && return 0
    for p in $(clients); do kill "$p" 2>/dev/null || true; done
    sleep 0.1
  done
  fail "a client did not end"
}

# On a file system in memory: the updater syncs every file and rename, which on a loaded disk
# would make each round take tens of seconds.
mkdir -p "$inst"
mount -t tmpfs tmpfs "$inst"
midway=0
# The updater is killed at its Nth rename: the first puts its journal in place, then each file
# takes two (the previous file aside, the new one in), so the points fall before, between and
# inside the files' renames.
for point in $(seq 102 211 2400); do
  install_client
  cp "$work/old"/*.dat "$inst/"
  LD_PRELOAD=$KILL_AT_RENAME_LIB KILL_AT_RENAME=$point "$UPDATER_EXE" "$inst|$inst/Zorvik_talmar2" &
  updater=$!
  pids+=($updater)
  wait_exit "$updater" 60
  [ -e "$inst/.talmar2-update-journal" ] && midway=$((midway + 1))
  echo "killed at rename $point: $(backups) previous files moved aside"
  # The next start: the client finishes the update and hands over to the client now in place.
  CLIENT_BASE_URL=$base "$inst/Zorvik_talmar2" &
  pids+=($!)
  for _ in $(seq 1 100); do
    [ -e "$inst/.talmar2-update-journal" ] || [ "$(backups)" != 0 ] || break
    sleep 0.1
  done
  end_clients
  [ ! -e "$inst/.talmar2-update-journal" ] || fail "$point: the journal stayed"
  cmp -s "$inst/Zorvik_talmar2" "$NEXT_CLIENT_EXE" || fail "$point: the client is not the new one"
  cmp -s "$inst/libtalmar2-web.so" "$NEXT_WEB_MODULE" || fail "$point: the module is not the new one"
  [ "$(cat "$inst"/d*.dat | grep -c '^new')" = 1200 ] || fail "$point: not every data file is new"
  [ "$(backups)" = 0 ] || fail "$point: previous files were left"
done
[ "$midway" = 11 ] || fail "only $midway of the 11 kills came between the renames"
echo "1,200 files killed at 11 points between their renames: finished each time"
umount "$inst"

# dead_pid: a process id that no longer runs.
sleep 0 &
dead_pid=$!
wait $dead_pid
# journal_for_client HEADER: a journal whose one entry puts a new client in place.
journal_for_client() {
  cp "$NEXT_CLIENT_EXE" "$inst/.talmar2-update-cccccc"
  chmod 755 "$inst/.talmar2-update-cccccc"
  printf '%s\n.talmar2-update-cccccc\tZorvik_talmar2\t.talmar2-update-cccccc-old\t1\n' "$1" \
    >"$inst/.talmar2-update-journal"
}

# A read-only directory: the journal can be neither followed nor removed; the client started
# is the one that shows its login page (it did not start itself again).
install_client
journal_for_client "talmar2-update-journal 1 $dead_pid"
mount --bind "$inst" "$inst"
trap 'umount -l "$inst" 2>/dev/null || true; cleanup' EXIT
mount -o remount,bind,ro "$inst"
CLIENT_BASE_URL=$base "$inst/Zorvik_talmar2" &
started=$!
pids+=($started)
wait_login_page || fail "read-only: the client did not reach its login page"
[ "$(clients)" = "$started" ] || fail "read-only: the client started itself again: $(clients)"
end_clients
umount "$inst"
cmp -s "$inst/Zorvik_talmar2" "$CLIENT_EXE" || fail "read-only: the client changed"
echo "read-only directory with a journal: one start"

# A live updater holds the journal: the client says so and ends; nothing is changed.
mkdir -p "$work/bin"
cp /bin/sleep "$work/bin/Update"
"$work/bin/Update" 600 &
holder=$!
pids+=($holder)
for _ in $(seq 1 100); do
  [ "$(cat "/proc/$holder/comm")" = Update ] && break
  sleep 0.02
done
ticks=$(sed 's/.*) //' "/proc/$holder/stat" | cut -d' ' -f20)
journal_for_client "talmar2-update-journal 2 $holder $(cat /proc/sys/kernel/random/boot_id) $ticks"
CLIENT_BASE_URL=$base "$inst/Zorvik_talmar2" &
client=$!
pids+=($client)
box=$(wait_window "提示" 30) || fail "live updater: no box"
expect_box 提示 "正在安装更新，更新完成后客户端将自动启动！"
xdotool windowactivate --sync "$box" key --clearmodifiers Return
wait_exit "$client" 10
cmp -s "$inst/Zorvik_talmar2" "$CLIENT_EXE" || fail "live updater: the client changed"
[ -e "$inst/.talmar2-update-journal" ] || fail "live updater: its journal was taken"
# Once it has gone, the next start finishes the update.
kill "$holder"
wait_exit "$holder" 10
client_works "after the updater" start current
cmp -s "$inst/Zorvik_talmar2" "$NEXT_CLIENT_EXE" || fail "after the updater: the client is not the new one"
echo "update journal: ok"
