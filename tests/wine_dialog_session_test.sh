#!/usr/bin/env bash
# Lantra.exe under Wine on a virtual X server, driven by the keyboard as a user would: the dialog
# opens centred; Generate with every field empty, Browse for the code table, a content table that
# cannot be read, then Generate with the example tables, whose result must be lantra-cli.exe's
# byte for byte and is opened with the program associated with text files (Notepad); Escape ends
# the program.
# The messages' marked fields are checked by typing into them: had the focus stayed elsewhere,
# or the old text not been selected, the paths would come out wrong.
# Usage: wine_dialog_session_test.sh LANTRA_EXE LANTRA_CLI_EXE EXAMPLES_FOLDER
set -euo pipefail
. "$(dirname "$0")/../scripts/lib.sh"
# A prefix of its own, whose Wine server and programs the test starts and ends.
prefix=wine-desktop
wine_environment "$prefix"
lantra=$1
cli=$2
examples=$(realpath "$3")
# Wine is slow to start a program on a busy machine: generous bounds, never fixed sleeps.
limit=60

work=$(mktemp -d)
pids=()
cleanup() {
  local pid
  stop_wine "$prefix"
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# run_wine COMMAND...: a Windows program that runs to its end. Wine's output goes to files: a
# background process of Wine that inherited a pipe would keep it open.
run_wine() {
  timeout 120 wine "$@" >"$work/wine.out" 2>"$work/wine.err" </dev/null ||
    fail "wine $*: $(cat "$work/wine.out" "$work/wine.err")"
}
exited() { ! kill -0 "$1" 2>/dev/null; }
# windows TITLE: the ids of the visible windows whose title matches, one a line.
windows() { xdotool search --onlyvisible --name "$1" 2>/dev/null || true; }
count_is() { [ "$(windows "$1" | wc -l)" -eq "$2" ]; }
# Lantra's own windows: the dialog, and the message box or the file dialog above it.
own_windows_are() { [ "$(xdotool search --onlyvisible --pid "$lantra_pid" 2>/dev/null | wc -l)" -eq "$1" ]; }
# type_into WINDOW KEYS...: gives the window the keyboard, then types each text (a key name
# when it starts with "+").
type_into() {
  xdotool windowfocus --sync "$1"
  shift
  local text
  for text in "$@"; do
    case "$text" in
      +*) xdotool key "${text#+}" ;;
      *) xdotool type --delay 10 "$text" ;;
    esac
  done
}
# close_message: the message box "生成错误" appears and goes with Enter.
close_message() {
  wait_for "$limit" count_is '^生成错误$' 1 || fail "no message box: $1"
  type_into "$(windows '^生成错误$')" +Return
  wait_for "$limit" count_is '^生成错误$' 0 || fail "the message box did not close"
}

start_xvfb "$work"
pids+=("$XVFB_PID")
# Built on first use; its desktop process starts now, on this display.
start_wine "$prefix"

# Windows opens text files with Notepad; a fresh Wine prefix associates .txt with nothing.
run_wine reg add 'HKCR\.txt' /ve /d txtfile /f

# What lantra-cli.exe writes for the example tables, and where: the dialog writes the same file.
content=$(windows_path "$examples/content.txt")
code=$(windows_path "$examples/code.txt")
run_wine "$cli" --prefix '[' --suffix ']' "$content" "$code"
result_path=$(sed -n 's/^[0-9]* records\? written to \(.*\)$/\1/p' "$work/wine.out" | tr -d '\r')
case "$result_path" in
  [A-Z]:\\*\\Temp\\Lantra_result.txt) ;;
  *) fail "lantra-cli.exe wrote to '$result_path', not the temporary folder" ;;
esac
result=$(timeout 60 winepath -u "$result_path" 2>/dev/null)
mv "$result" "$work/expected.txt"

title='kesu编码提示码表生成工具'
wine "$lantra" >"$work/lantra.out" 2>&1 </dev/null &
lantra_pid=$!
pids+=("$lantra_pid")
wait_for "$limit" count_is "^$title\$" 1 || fail "the dialog did not appear"
dialog=$(windows "^$title\$")
# The template places the dialog at (0, 0); it opens centred on the 1024 x 768 screen, give or
# take its frame.
eval "$(xdotool getwindowgeometry --shell "$dialog")"
(( (X + WIDTH / 2 - 512) ** 2 + (Y + HEIGHT / 2 - 384) ** 2 <= 40 ** 2 )) ||
  fail "the dialog opened at $X,$Y (${WIDTH}x$HEIGHT), not centred"

# The focus starts on Generate, the default button: Enter with every field empty.
type_into "$dialog" +Return
close_message "Generate with every field empty"
# The code table field has the focus: Tab leads to its Browse button.
type_into "$dialog" +Tab +space
wait_for "$limit" own_windows_are 2 || fail "Browse did not open the file dialog"
file_dialog=$(xdotool search --onlyvisible --pid "$lantra_pid" | grep -vx "$dialog")
type_into "$file_dialog" +ctrl+a "$code" +Return
wait_for "$limit" own_windows_are 1 || fail "the file dialog did not close"

# From Browse, Tab leads to the content table: one that cannot be read.
type_into "$dialog" +Tab "$(windows_path "$work/missing.txt")" +Return
close_message "Generate with a content table that cannot be read"
# The content table field has the focus, its text selected: the typed path replaces it.
type_into "$dialog" "$content" +Tab +Tab '[' +Tab ']' +Return

notepad='^Lantra_result.txt - '
opened_or_refused() { count_is "$notepad" 1 || count_is '^生成错误$' 1; }
wait_for "$limit" opened_or_refused || fail "the result file was not opened"
count_is '^生成错误$' 0 || fail "a message instead of the result: a path was typed elsewhere"
notepad_pid=$(xdotool getwindowpid "$(windows "$notepad")")
pids+=("$notepad_pid")
cmp "$result" "$work/expected.txt" || fail "the result differs from lantra-cli.exe's"
count_is "^$title\$" 1 || fail "Generate closed the dialog"
# Closed as a user closes it, so that the dialog becomes the active window again.
type_into "$(windows "$notepad")" +alt+F4
wait_for "$limit" exited "$notepad_pid" || fail "Notepad did not end"

type_into "$dialog" +Escape
wait_for "$limit" exited "$lantra_pid" || fail "Escape did not end Lantra.exe"
count_is "^$title\$" 0 || fail "the dialog is still there"
echo "Lantra.exe session under Wine: ok"
