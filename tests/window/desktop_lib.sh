# The parts of the real-display tests that every one of them needs: the
# tools, a scratch folder, Xvfb with openbox, waiting, failing with a
# screenshot, and starting the window. Sourced with the artefact folder in
# $artefacts and the test's name in $test_name.
skip=77

for tool in Xvfb openbox xdotool xprop import; do
  if ! command -v "$tool" > /dev/null; then
    echo "SKIPPED: $tool is not installed (scripts/deps.sh installs it)"
    exit "$skip"
  fi
done

work="$(mktemp -d)"
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2> /dev/null; done
  wait 2> /dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A screenshot of the whole display, kept in the artefact folder.
screenshot() {
  mkdir -p "$artefacts"
  import -window root "$artefacts/$1" 2> /dev/null && echo "screenshot: $artefacts/$1"
}

fail() {
  echo "FAILED: $*"
  screenshot "${test_name}_failure.png"
  echo "status log:"; sed 's/^/  /' "$work/status.log" 2> /dev/null
  echo "program output:"; sed 's/^/  /' "$work/korva.log" 2> /dev/null
  exit 1
}

# Waits up to $1 seconds for the command that follows to succeed.
wait_for() {
  local seconds="$1"; shift
  local end=$((SECONDS + seconds))
  until "$@"; do
    [ "$SECONDS" -ge "$end" ] && return 1
    sleep 0.1
  done
}
status_has() { grep -Eq "$1" "$work/status.log" 2> /dev/null; }
process_gone() { ! kill -0 "$1" 2> /dev/null; }
# The question window ("確認", confirmation) is shown.
question_shown() { xdotool search --onlyvisible --name "$(printf '\xe7\xa2\xba\xe8\xaa\x8d')" > /dev/null 2>&1; }

# Escape on the question: the question goes and the program stays.
escape_question() {
  xdotool key Escape
  wait_for 10 sh -c '! xdotool search --onlyvisible --name "$(printf "\xe7\xa2\xba\xe8\xaa\x8d")" > /dev/null 2>&1' ||
    fail "Escape: the question stayed"
  kill -0 "$korva_pid" 2> /dev/null || fail "Escape on the question: the program ended"
}

# The display: Xvfb picks a free number and writes it to fd 3.
start_display() {
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3> "$work/display" 2> "$work/xvfb.log" &
  pids+=($!)
  wait_for 20 test -s "$work/display" || fail "Xvfb did not start"
  export DISPLAY=":$(head -n1 "$work/display")"
  openbox > "$work/openbox.log" 2>&1 &
  pids+=($!)
  wait_for 20 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q "window id"' ||
    fail "openbox did not start"
  # Under the sanitizers, leaks of the system's own libraries are not ours.
  local suppressions
  suppressions="$(dirname "$(realpath "${BASH_SOURCE[0]}")")/lsan_suppressions.txt"
  export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$suppressions"
  mkdir -p "$work/config" "$work/runtime"
  chmod 700 "$work/runtime"
}

# Starts the window in the current folder with the arguments given; sets
# korva_pid and window (the window's id), activated.
start_window() {
  QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" \
    KORVA_STATUS_LOG="$work/status.log" "$korva" "$@" > "$work/korva.log" 2>&1 &
  korva_pid=$!
  pids+=("$korva_pid")
  window="$(timeout 30 xdotool search --sync --onlyvisible --pid "$korva_pid" --name 'KORVA' | head -n1)"
  [ -n "$window" ] || fail "the window did not appear"
  xdotool windowactivate --sync "$window" || fail "the window could not be activated"
}

# Ctrl+Q, then waits for the program to end with status 0.
quit_window() {
  xdotool key ctrl+q
  wait_for 30 process_gone "$korva_pid" || fail "Ctrl+Q: the program did not end"
  wait "$korva_pid"
  local code=$?
  [ "$code" -eq 0 ] || fail "the program ended with status $code"
}
