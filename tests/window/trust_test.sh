#!/usr/bin/env bash
# The window as a new user meets it on a real display (Xvfb, openbox,
# xdotool), with a Japanese source and the shipped examples:
# - five starts keep the window's size and place, the status bar included;
# - the pane marks the undefined names after full-width ループ and after
#   ABCDEF (as wide) in the same columns;
# - text typed in the pane survives closing the pane with its x and opening
#   the entry again, Ctrl+Q asks, and F7 saves it before it assembles;
# - every example assembles with 0 errors, asking nothing.
# Screenshots of the pane and of an example are kept in the artefact folder.
#   trust_test.sh KORVA_BINARY ARTEFACT_FOLDER EXAMPLES_FOLDER CHIPS_FOLDER
set -uo pipefail
korva="$(realpath "$1")"
artefacts="$(realpath -m "$2")"
examples="$(realpath "$3")"
export KORVA_CHIPS_DIR="$(realpath "$4")"
test_name=trust_test
# shellcheck source=desktop_lib.sh
source "$(dirname "$(realpath "$0")")/desktop_lib.sh"

start_display 1280x800x24

# ループ (CP932 83 8B 81 5B 83 76) is as wide as ABCDEF in a fixed font.
mkdir -p "$work/p"
printf '\203\213\201\133\203\166::  (UNDEF1)+1\r\nABCDEF::  (UNDEF2)+1\r\n' > "$work/p/a.as"
printf 'a.as\r\n' > "$work/p/p.amk"
cd "$work/p"
file_has() { grep -q -- "$1" "$work/p/a.as"; }

# Five starts, each assembling once (which shows the status bar) and
# quitting: every start has the first one's size and place.
geometries=()
for start in 1 2 3 4 5; do
  : > "$work/status.log"
  start_window p.amk
  sleep 0.5
  geometries+=("$(xdotool getwindowgeometry "$window" | tail -n +2 | tr -s ' \n' ' ')")
  xdotool key F7
  wait_for 30 status_has '^2 errors, ' || fail "start $start: F7 gave no summary"
  quit_window
done
for geometry in "${geometries[@]}"; do
  [ "$geometry" = "${geometries[0]}" ] ||
    fail "the window moved or grew from start to start: $(printf '[%s] ' "${geometries[@]}")"
done

# The entry opened with a double-click (the project list's first row).
: > "$work/status.log"
start_window p.amk
xdotool mousemove --window "$window" 30 120 click --repeat 2 --delay 80 1

# The marks are the reddest pixels right of the toolbar's red button, the pane's;
# each wavy line is a band of a few pixel rows. Both bands must span the
# same columns. The pane checks its text a moment after it opens.
# mark_bands exits 0 for two aligned marks, 3 for none, 1 otherwise.
mark_bands() {
  import -window "$window" "$work/pane.png" || return 1
  convert "$work/pane.png" txt:- | python3 -c '
import re, sys
rows = {}
width = 0
for line in sys.stdin:
    m = re.match(r"(\d+),(\d+): \((\d+),(\d+),(\d+)", line)
    if not m:
        continue
    x, y, r, g, b = map(int, m.groups())
    width = max(width, x + 1)
    if r >= 200 and g <= 130 and b <= 130 and r - g >= 90:
        rows.setdefault(y, []).append(x)
bands = []
for y in sorted(rows):
    xs = [x for x in rows[y] if x > width * 0.58]
    if len(xs) < 4:
        continue
    if bands and y - bands[-1]["last"] <= 3:
        band = bands[-1]
    else:
        band = {"xs": [], "last": y}
        bands.append(band)
    band["xs"] += xs
    band["last"] = y
spans = [(min(b["xs"]), max(b["xs"])) for b in bands]
print("marks at columns", spans)
ok = len(spans) == 2 and all(abs(a - b) <= 2 for a, b in zip(spans[0], spans[1]))
sys.exit(0 if ok else 3 if not spans else 1)
'
}
marks_aligned() { mark_bands; }
pane_closed() { mark_bands; [ $? -eq 3 ]; }
wait_for 20 marks_aligned || fail "the two undefined names are not marked in the same columns"
screenshot trust_pane_japanese.png

# Typed at the end of the text, the edit stays when the pane is closed
# with its x and the entry is opened again; Ctrl+Q then asks (Escape keeps
# the window); F7 saves the text before assembling.
xdotool key ctrl+End
xdotool type --delay 30 ' ;x1'
sleep 0.3
width="$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: \([0-9]*\)x.*/\1/p')"
xdotool mousemove --window "$window" $((width - 8)) 28 click 1
wait_for 10 pane_closed || fail "the pane's x did not close it"
xdotool mousemove --window "$window" 30 120 click --repeat 2 --delay 80 1
sleep 1
screenshot trust_pane_reopened.png
xdotool key ctrl+End
xdotool type --delay 30 ' ;x2'
xdotool key ctrl+q
wait_for 10 question_shown || fail "Ctrl+Q with unsaved text in the pane asked nothing"
escape_question
file_has ';x1' && fail "a.as was saved before F7"
xdotool key F7
wait_for 30 status_has '^a\.as saved; 2 errors' || fail "F7 with an unsaved pane: a.as was not saved first"
file_has ' ;x1 ;x2' || fail "a.as does not hold the typed text: $(od -c "$work/p/a.as")"
quit_window

# Every example, copied as a user would, assembles without an error and
# without a question.
for project in "$examples"/*/*.amk; do
  name="$(basename "$project" .amk)"
  mkdir -p "$work/examples/$name"
  cp "$(dirname "$project")"/* "$work/examples/$name/"
  cd "$work/examples/$name"
  : > "$work/status.log"
  start_window "$name.amk"
  xdotool key F7
  wait_for 30 status_has '^0 errors, ' ||
    fail "example $name: $(tail -n 1 "$work/status.log")"
  question_shown && fail "example $name: a question was asked"
  [ "$name" = ticker ] && screenshot trust_example_ticker.png
  quit_window
done
echo "PASSED: five starts, marks after Japanese text, edits kept and saved, every example on $DISPLAY"
