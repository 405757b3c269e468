#!/bin/sh
# Quits this user's running hot-key component "QRV HotKey": exactly the process its pid file
# names, and only when that process really runs the hot-key program (a stale pid file may name a
# process id that now belongs to something else).
# Exit status: 0 it ended; 1 there was nothing to quit; 2 it would not end.

pidfile="${HOME:?}/Library/Application Support/Quorvel Suite/QRV HotKey.pid"

# Whether the process runs the hot-key program. Another user's process, or one that has ended
# (a zombie included), shows no executable.
is_hotkey() {
    exe=$(readlink "/proc/$1/exe" 2>/dev/null) || return 1
    exe=${exe% (deleted)} # the program file was replaced by an upgrade while it ran
    case $exe in
        */"QRV HotKey.app/Contents/MacOS/QRV HotKey") return 0 ;;
    esac
    return 1
}

if [ ! -r "$pidfile" ]; then
    echo "quitHotKey.sh: the hot-key component does not run" >&2
    exit 1
fi
pid=
read -r pid <"$pidfile"
case $pid in
    '' | *[!0-9]*)
        echo "quitHotKey.sh: $pidfile holds no process id" >&2
        exit 1
        ;;
esac
if ! is_hotkey "$pid"; then
    echo "quitHotKey.sh: the hot-key component does not run (stale process id $pid)" >&2
    rm -f "$pidfile"
    exit 1
fi

kill -TERM "$pid" 2>/dev/null
# It gives up its key and its pid file, then ends; five seconds is plenty.
i=0
while [ "$i" -lt 50 ]; do
    is_hotkey "$pid" || exit 0
    sleep 0.1 2>/dev/null || sleep 1
    i=$((i + 1))
done
echo "quitHotKey.sh: the hot-key component (process $pid) did not end" >&2
exit 2
