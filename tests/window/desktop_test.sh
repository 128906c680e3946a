#!/usr/bin/env bash
# The window on a real X display: Xvfb, a small window manager (openbox) and
# keys sent with xdotool, as a person at the keyboard would. Opens a project
# given on the command line, assembles with F7, reads the status bar through
# the window's status log, moves to the error list and jumps with Enter,
# opens the error's source with Ctrl+Shift+Enter in a stand-in editor, deletes an
# entry, answers the question Ctrl+Q then asks, and checks that the program ended and asm.ini holds the last
# directory. On failure a screenshot is kept in the artefact folder.
#   desktop_test.sh KORVA_BINARY ARTEFACT_FOLDER
set -uo pipefail
korva="$(realpath "$1")"
artefacts="$(realpath -m "$2")"
test_name=desktop_test
# shellcheck source=desktop_lib.sh
source "$(dirname "$(realpath "$0")")/desktop_lib.sh"

editor_called() { [ -s "$work/editor.log" ]; }

# The project: one error on line 2 and one warning on line 3 of a.as, and
# an empty b.as. The program
# starts in start/ and is given the project's path relative to it.
mkdir -p "$work/start/proj"
# The first line's remark is half-width katakana (CP932 B6 C5: ｶﾅ).
printf 'START:: 0>W ;\266\305\r\nbogus statement\r\nW^256>W\r\n===->START\r\n' > "$work/start/proj/a.as"
printf '' > "$work/start/proj/b.as"
printf 'a.as\r\nb.as\r\n' > "$work/start/proj/p.amk"
cat > "$work/editor" << EDITOR
#!/bin/sh
printf '%s\n' "\$*" >> "$work/editor.log"
EDITOR
chmod +x "$work/editor"

start_display 1024x768x24

cd "$work/start"
export VISUAL="$work/editor" EDITOR=
start_window proj/p.amk

# The splitter between the left column (5..164 of the client area, which
# is xdotool's window) and the listing (from 170) is dragged 80 pixels to
# the right before the first assembly (which would otherwise widen the
# column to its errors); its place is kept in the user's settings.
xdotool mousemove --window "$window" 167 200 mousedown 1
for x in 175 195 215 235 247; do
  sleep 0.05
  xdotool mousemove --window "$window" "$x" 200
done
xdotool mouseup 1
splitter_kept() { grep -q 'column_splitter' "$work/config/korva/korva.conf" 2> /dev/null; }
wait_for 10 splitter_kept || fail "the splitter's place was not kept"

xdotool key F7
wait_for 30 status_has '^1 error, 1 warning, 3 words, [0-9]+ ms$' ||
  fail "F7: the status bar did not show the assembly's summary"

# From the listing view (focused after the assembly) Tab goes to the project
# list, then to the error list, whose first entry becomes the current one.
xdotool key Tab
sleep 0.2
xdotool key Tab
wait_for 10 status_has '^a\.as:2: error: ' || fail "Tab: the error list's entry was not shown"

# Enter jumps to the line in the listing; Ctrl+Shift+Enter there opens its
# source in the external editor.
xdotool key Return
sleep 0.3
xdotool key ctrl+shift+Return
wait_for 10 editor_called || fail "Ctrl+Shift+Enter: the external editor was not started"
expected_editor="+2 $work/start/proj/a.as"
[ "$(cat "$work/editor.log")" = "$expected_editor" ] ||
  fail "the editor got '$(cat "$work/editor.log")', not '$expected_editor'"

# Entries move with Alt+Down: Tab goes to the project list, Space selects
# a.as, Alt+Down puts it below b.as; Ctrl+S saves the new order.
xdotool key Tab
sleep 0.2
xdotool key space alt+Down
title_marked() { xdotool getwindowname "$window" 2> /dev/null | grep -q '^\*p\.amk - '; }
wait_for 10 title_marked || fail "Alt+Down: the title has no modified mark: $(xdotool getwindowname "$window")"
xdotool key ctrl+s
amk_is() { [ "$(od -An -c "$work/start/proj/p.amk" | tr -d ' \n')" = "$1" ]; }
wait_for 10 amk_is 'b.as\r\na.as\r\n' ||
  fail "Alt+Down and Ctrl+S: p.amk holds $(od -An -c "$work/start/proj/p.amk")"

# A change to the list is not dropped unasked: Delete on the project list
# marks the title, Ctrl+Q asks; Escape keeps the window, "No" closes it
# without writing the project file.
xdotool key Delete
wait_for 10 title_marked || fail "Delete: the title has no modified mark: $(xdotool getwindowname "$window")"
# F8 goes to the error, Ctrl+Enter opens its line in the editor pane;
# typed at the line's end and saved with Ctrl+S there, the source changes in
# that line alone, the katakana bytes kept.
xdotool key F8
sleep 0.3
xdotool key ctrl+Return
sleep 0.5
xdotool key End
xdotool type ' ; ok'
xdotool key ctrl+s
source_saved() {
  [ "$(od -An -tx1 "$work/start/proj/a.as" | tr -d ' \n')" = \
    "$(printf 'START:: 0>W ;\266\305\r\nbogus statement ; ok\r\nW^256>W\r\n===->START\r\n' |
      od -An -tx1 | tr -d ' \n')" ]
}
wait_for 10 source_saved || fail "the editor pane did not save a.as as typed: $(od -c "$work/start/proj/a.as")"

xdotool key ctrl+q
wait_for 10 question_shown || fail "Ctrl+Q with a changed list: no question"
escape_question
xdotool key ctrl+q
wait_for 10 question_shown || fail "the second Ctrl+Q asked nothing"
xdotool key alt+n
wait_for 30 process_gone "$korva_pid" || fail "Ctrl+Q, No: the program did not end"
amk_is 'b.as\r\na.as\r\n' ||
  fail "the project file changed although the question was answered No"
wait "$korva_pid"
code=$?
[ "$code" -eq 0 ] || fail "the program ended with status $code: $(cat "$work/korva.log")"
[ "$(cat "$work/start/asm.ini")" = "$work/start/proj/" ] ||
  fail "asm.ini holds '$(cat "$work/start/asm.ini")', not '$work/start/proj/'"
echo "PASSED: opened, assembled, jumped, opened the source, was asked and closed on $DISPLAY"
