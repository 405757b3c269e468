#!/usr/bin/env bash
# Installs the build into a scratch prefix with `cmake --install` and checks what a user or the
# desktop relies on: the bundle and the commands on the PATH lead into it (the tools find the
# bundle's defaults through their symbolic links and scan an empty home), the desktop entry and
# the metainfo pass their validators, the icons have their sizes, and the manual pages render and
# name every option the tools' --help lists.
# Usage: installs-into-a-prefix.sh BUILD-FOLDER
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

layout=$(sed -n 's/^QUORVEL_INSTALL_LAYOUT:[A-Z]*=//p' "$build/CMakeCache.txt")
prefix="$work/prefix"
case "$layout" in
  user) bundles=Applications bin=.local/bin share=.local/share ;;
  system) bundles=lib/quorvel bin=bin share=share ;;
  *) echo "unknown layout \"$layout\""; exit 1 ;;
esac
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; exit 1; }

bundle="$prefix/$bundles/Quorvel Launcher 2.app"
pane="$bundle/Contents/Resources/Components/Quorvel Preferences.prefPane"
for executable in "$bundle/Contents/MacOS/Quorvel Launcher 2" "$pane/Contents/MacOS/Quorvel Preferences" \
  "$pane/Contents/Resources/QRV HotKey.app/Contents/MacOS/QRV HotKey" "$prefix/$bin/quorvel-launcher" \
  "$prefix/$bin/quorvel-query" "$prefix/$bin/quorvel-scan"; do
  [ -x "$executable" ] || fail "$executable is not an installed executable"
done
for resource in Info.plist Resources/info_ui_off.plist "Resources/Document Types Defaults.xml" Resources/quitHotKey.sh; do
  [ -f "$bundle/Contents/$resource" ] || fail "the bundle lacks Contents/$resource"
done
grep -q 'Quorvel Launcher 2.app/Contents/MacOS/Quorvel Launcher 2' "$prefix/$bin/quorvel-launcher" \
  || fail "the launcher script does not start the bundle's executable"

# The tools through their links on the PATH, in a home with nothing in it: the scan needs the
# defaults inside the bundle it belongs to.
home="$work/home"
mkdir -p "$home/Applications/Qvlprobe.app/Contents"
if ! HOME="$home" "$prefix/$bin/quorvel-scan" >"$work/scan.log" 2>&1; then
  cat "$work/scan.log"
  fail "quorvel-scan, started through its link, did not write an index"
fi
count=$(HOME="$home" "$prefix/$bin/quorvel-query" --count --mode contains QVLPROBE 2>&1) || true
[ "$count" = "Single Match." ] || fail "quorvel-query through its link answered \"$count\", not \"Single Match.\""

entry="$prefix/$share/applications/org.quorvel.launcher.desktop"
exec_line=$(sed -n 's/^Exec=//p' "$entry")
[ "$exec_line" = "\"$prefix/$bin/quorvel-launcher\"" ] || fail "the desktop entry runs $exec_line"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$entry" || fail "desktop-file-validate rejects the desktop entry"
else
  echo "desktop-file-validate is not installed: the desktop entry is not validated"
fi
grep -qx 'DBusActivatable=true' "$entry" || fail "the desktop entry is not DBusActivatable"
# The bus starts the launcher by its name: the service file names the launcher script.
service="$prefix/$share/dbus-1/services/org.quorvel.launcher.service"
[ "$(sed -n 's/^Name=//p' "$service" 2>/dev/null)" = org.quorvel.launcher ] || fail "no D-Bus service file for org.quorvel.launcher"
service_exec=$(sed -n 's/^Exec=//p' "$service" 2>/dev/null)
[ "${service_exec//\"/}" = "$prefix/$bin/quorvel-launcher" ] || fail "the D-Bus service file runs $service_exec"

# The completions as bash-completion loads them: the options, and names from the index.
completions="$prefix/$share/bash-completion/completions"
if [ -f /usr/share/bash-completion/bash_completion ]; then
  complete_line() {
    HOME="$home" PATH="$prefix/$bin:$PATH" bash -c '
      . /usr/share/bash-completion/bash_completion
      . "$1/$2"
      COMP_WORDS=("${@:2}"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
      COMP_LINE="${COMP_WORDS[*]}"; COMP_POINT=${#COMP_LINE}
      "$(complete -p "$2" | sed "s/.*-F \([^ ]*\) .*/\1/")" "$2" "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}"
      printf "%s\n" "${COMPREPLY[@]}"' sh "$completions" "$@"
  }
  [ "$(complete_line quorvel-query --mode co)" = contains ] || fail "quorvel-query --mode co does not complete to contains"
  complete_line quorvel-query --n | grep -qx -- --null || fail "quorvel-query --n does not offer --null"
  [ "$(complete_line quorvel-query Qvlp)" = Qvlprobe ] || fail "quorvel-query Qvlp does not complete the indexed name"
  [ "$(complete_line quorvel-scan --vers)" = --version ] || fail "quorvel-scan --vers does not complete to --version"
else
  [ -f "$completions/quorvel-query" ] && [ -f "$completions/quorvel-scan" ] || fail "no bash completions"
  echo "bash-completion is not installed: the completions are not tried"
fi

metainfo="$prefix/$share/metainfo/org.quorvel.launcher.metainfo.xml"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net --explain "$metainfo" || fail "appstreamcli rejects the metainfo"
else
  echo "appstreamcli is not installed: the metainfo is not validated"
fi

for size in 16 22 24 32 48 64 128 256; do
  png="$prefix/$share/icons/hicolor/${size}x${size}/apps/org.quorvel.launcher.png"
  # A PNG's width and height are the big-endian words at bytes 16 and 20.
  dimensions=$(od -An -tu1 -j16 -N8 "$png" 2>/dev/null | awk '{ print $3 * 256 + $4 "x" $7 * 256 + $8 }')
  [ "$dimensions" = "${size}x${size}" ] || fail "the ${size}x${size} icon measures \"$dimensions\""
done
[ -f "$prefix/$share/icons/hicolor/scalable/apps/org.quorvel.launcher.svg" ] || fail "no scalable icon"

for tool in quorvel-query quorvel-scan; do
  page="$prefix/$share/man/man1/$tool.1.gz"
  [ -f "$page" ] || { fail "no manual page for $tool"; continue; }
  gzip -dc "$page" >"$work/$tool.1"
  for option in $("$prefix/$bin/$tool" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    grep -q -- "${option//-/\\\\-}" "$work/$tool.1" || fail "the manual page of $tool does not name $option"
  done
  if command -v groff >/dev/null; then
    warnings=$(groff -man -Tutf8 -ww -z "$work/$tool.1" 2>&1)
    [ -z "$warnings" ] || fail "the manual page of $tool: $warnings"
  fi
done
[ -f "$prefix/$share/man/man1/quorvel-launcher.1.gz" ] || fail "no manual page for quorvel-launcher"

[ "$failures" -eq 0 ] && echo "installed into $prefix: all checks passed"
exit $((failures > 0))
