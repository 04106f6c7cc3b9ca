#!/usr/bin/env bash
# The real program under a virtual X server, driven by the keyboard as a user would: two copies
# side by side, Generate with the example tables, the message for an empty code table, Escape.
# The desktop's xdg-open is replaced by one that records what it was given.
# Usage: dialog_session_test.sh LANTRA LANTRA_CLI EXAMPLES_FOLDER
set -euo pipefail
lantra=$1
cli=$2
examples=$3

work=$(mktemp -d)
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# wait_for SECONDS COMMAND...: runs the command every 0.1 s until it succeeds.
wait_for() {
  local tries=$(($1 * 10))
  shift
  for _ in $(seq "$tries"); do "$@" && return 0; sleep 0.1; done
  return 1
}
exited() { ! kill -0 "$1" 2>/dev/null; }
one_exited() { exited "$first" || exited "$second"; }
# windows TITLE: the ids of the visible windows with that title, one a line.
windows() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true; }
count_is() { [ "$(windows "$1" | wc -l)" -eq "$2" ]; }

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
wait_for 10 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=:$(cat "$work/display")
export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$work TMPDIR=$work/tmp
mkdir -p "$work/tmp" "$work/bin"
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >> "%s/opened"\n' "$work" > "$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
export PATH=$work/bin:$PATH

title='kesu编码提示码表生成工具'
"$lantra" & first=$!
pids+=("$first")
wait_for 20 count_is "$title" 1 || fail "the dialog did not appear"
"$lantra" & second=$!
pids+=("$second")
wait_for 20 count_is "$title" 2 || fail "a second copy did not open a second dialog"

# The focus starts on Generate; Tab leads to the code table, its Browse, the content table.
window=$(windows "$title" | head -1)
xdotool windowfocus --sync "$window"
xdotool key Tab
xdotool type --delay 2 "$examples/code.txt"
xdotool key Tab Tab
xdotool type --delay 2 "$examples/content.txt"
xdotool key Return
wait_for 20 test -s "$work/opened" || fail "Enter did not open the result file"
result=$work/tmp/Lantra_result.txt
grep -qx "file://$result\|$result" "$work/opened" || fail "opened $(cat "$work/opened"), not $result"
"$cli" -o "$work/expected.txt" "$examples/content.txt" "$examples/code.txt" >/dev/null
cmp "$result" "$work/expected.txt" || fail "the result differs from lantra-cli's"

# Generate with every field empty, in the other copy: the first message, closed with Enter.
other=$(windows "$title" | grep -vx "$window" | head -1)
xdotool windowfocus --sync "$other"
xdotool key Return
wait_for 20 count_is '生成错误' 1 || fail "no message for the empty code table"
xdotool windowfocus --sync "$(windows '生成错误')"
xdotool key Return
wait_for 20 count_is '生成错误' 0 || fail "the message did not close"

# Escape ends one copy and leaves the other; then the other.
xdotool windowfocus --sync "$other"
xdotool key Escape
wait_for 20 count_is "$title" 1 || fail "Escape did not close the dialog"
wait_for 20 one_exited || fail "closing the dialog did not end its copy"
if exited "$first" && exited "$second"; then fail "one Escape ended both copies"; fi
xdotool windowfocus --sync "$window"
xdotool key Escape
wait_for 20 exited "$first" || fail "Escape did not end the first copy"
wait_for 20 exited "$second" || fail "Escape did not end the second copy"
echo "dialog session: ok"
