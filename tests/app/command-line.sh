#!/usr/bin/env bash
# The launcher's own options, for real, in a fresh home where it could start (Qt's offscreen
# platform): --help and --version answer with 0 and make nothing, not even a folder; an unknown
# option is refused with 2 and the usage line on standard error, wherever it stands; Qt's options
# and their values pass by.
#
# Usage: command-line.sh EXECUTABLE VERSION
set -euo pipefail

executable=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; echo "--- standard output"; cat "$work/out"; echo "--- standard error"; cat "$work/err"; exit 1; }
mkdir -p -m 700 "$work/home" "$work/runtime"

# Answers the exit status; a launcher that started instead is ended after twenty seconds.
run() {
  local status=0
  env -i PATH=/usr/bin:/bin HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen \
    DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" timeout 20 "$executable" "$@" >"$work/out" 2>"$work/err" \
    || status=$?
  echo "$status"
}
nothing_made() { [ -z "$(find "$work/home" "$work/runtime" -mindepth 1 -print -quit)" ]; }

[ "$(run --version)" = 0 ] || fail "--version did not answer with 0"
[ "$(cat "$work/out")" = "Quorvel Launcher $version" ] || fail "--version printed something else"
[ ! -s "$work/err" ] || fail "--version wrote to standard error"
nothing_made || fail "--version made $(find "$work/home" "$work/runtime" -mindepth 1)"

[ "$(run --help)" = 0 ] || fail "--help did not answer with 0"
head -1 "$work/out" | grep -q '^usage: quorvel-launcher ' || fail "--help printed no usage line first"
grep -q -- '--version' "$work/out" || fail "--help does not mention --version"
nothing_made || fail "--help made $(find "$work/home" "$work/runtime" -mindepth 1)"

# Qt's options, their values included, are no concern of the launcher's.
[ "$(run -platform offscreen --style=fusion -reverse -v)" = 0 ] || fail "Qt's options stopped -v"
[ "$(cat "$work/out")" = "Quorvel Launcher $version" ] || fail "-v after Qt's options printed something else"

for arguments in "--bogus" "/tmp/some file.txt --frobnicate" "-platform offscreen -x"; do
  read -r -a words <<<"$arguments"
  [ "$(run "${words[@]}")" = 2 ] || fail "$arguments was not refused with 2"
  [ ! -s "$work/out" ] || fail "$arguments: the refusal went to standard output"
  grep -q '^usage: quorvel-launcher ' "$work/err" || fail "$arguments: no usage line on standard error"
  grep -qF -- "\"${words[-1]}\"" "$work/err" || fail "$arguments: the refusal does not name ${words[-1]}"
  nothing_made || fail "$arguments made $(find "$work/home" "$work/runtime" -mindepth 1)"
done
echo "PASS: --help and --version answer alone, unknown options are refused"
