#!/usr/bin/env bash
# The program as an operator uses it: started in a fresh folder under Xvfb
# (1920x1080) next to the simulated instrument, driven by xdotool. Every step
# is checked through the files the program writes and leaves a screenshot
# under <build>/screenshots/walk/.
set -euo pipefail
program=$1
simulator=$2
build=${VANTOR_BINARY_DIR:?}
walk=$build/walk
shots=$build/screenshots/walk
rm -rf "$walk" "$shots"
mkdir -p "$walk" "$shots"
cd "$walk"

for tool in Xvfb xdotool import xmessage; do
    command -v $tool >/dev/null || { echo "missing $tool: run tools/setup.sh --tests"; exit 1; }
done

pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$walk/display" 2>"$walk/xvfb.log" &
pids+=($!)
for _ in $(seq 300); do [[ -s $walk/display ]] && break; sleep 0.1; done
[[ -s $walk/display ]] || { echo "FAILED: Xvfb did not start"; cat "$walk/xvfb.log"; exit 1; }
export DISPLAY=:$(head -1 "$walk/display")
export QT_QPA_PLATFORM=xcb   # the suite runs offscreen; this test needs the X server

"$simulator" >"$walk/simulator.out" 2>"$walk/simulator.log" &
pids+=($!)
for _ in $(seq 300); do [[ -s $walk/simulator.out ]] && break; sleep 0.1; done
[[ -s $walk/simulator.out ]] || { echo "FAILED: the simulated instrument did not start"; exit 1; }
export VANTOR_EXTRA_PORT=$(head -1 "$walk/simulator.out")

step=0
shot() {
    step=$((step + 1))
    # Only the picture waits here (no check follows): nothing tells from
    # outside when the program has painted, so it gets a moment to.
    sleep 0.7
    import -window root "$shots/$(printf %02d "$step")-$1.png"
}
fail() {
    echo "FAILED: $*"
    for w in $(xdotool search --onlyvisible --name . 2>/dev/null); do echo "window: $(xdotool getwindowname "$w")"; done
    shot failure
    echo "--- log"; cat "$walk"/logs/* 2>/dev/null | tail -30
    exit 1
}
log_has() { grep -q -- "$1" "$walk"/logs/* 2>/dev/null; }
wait_for() { # wait_for <seconds> <command...>
    local limit=$(( $1 * 10 )); shift
    # At least 30 s, whatever the step expects: a loaded machine is slow.
    (( limit >= 300 )) || limit=300
    for _ in $(seq $limit); do "$@" && return 0; sleep 0.1; done
    return 1
}
# Input is paced as an operator's hand paces it: xdotool cannot tell when the
# program has handled a key or a click (a menu opened, a page turned), and
# every check that follows polls for its own condition.
key() { xdotool key --clearmodifiers "$@"; sleep 0.3; }
# Whether the window with the focus has this title.
focused() { xdotool search --onlyvisible --name "$1" 2>/dev/null | grep -qx "$(xdotool getwindowfocus 2>/dev/null)"; }
# Without a window manager nobody hands the focus back when a dialog closes.
main_key() {
    xdotool windowfocus "$window" 2>/dev/null || true
    wait_for 10 bash -c "[[ \$(xdotool getwindowfocus 2>/dev/null) == $window ]]" || fail "main window not focused"
    key "$@"
}
click() { xdotool mousemove "$1" "$2" click 1; sleep 0.3; }

"$simulator" --write-profile "$walk/shaft.txt" || fail "walk trace not written"

# What the simulated instrument received: its output holds one command a
# line after the pseudo-terminal's path.
commands_seen() { tail -n +2 "$walk/simulator.out" | wc -l; }
mark_at=0
mark() { mark_at=$(commands_seen); }
commands_since_mark() { tail -n +2 "$walk/simulator.out" | tail -n +$((mark_at + 1)); }
# Fails when a command that only the instrument's keys send (the trace
# start or stop, a jog of any axis, a calibration) arrived since the mark.
no_key_commands() { # no_key_commands <what the keys were meant for>
    sleep 0.5
    local got
    got=$(commands_since_mark | grep -E '^(CS|CC|CK|D[XYZ].|K.*)$' || true)
    [[ -z $got ]] || fail "$1: the instrument received $(echo $got)"
}

# A written report is opened with the desktop's handler, which Qt finds as
# xdg-open on the PATH. The program's own PATH starts with a stand-in that
# only notes what it was asked to open, so the walk starts no browser.
mkdir -p "$walk/bin"
cat >"$walk/bin/xdg-open" <<STANDIN
#!/bin/sh
printf '%s\\n' "\$*" >>"$walk/opened"
STANDIN
chmod +x "$walk/bin/xdg-open"
opened_has() { grep -qF -- "$1" "$walk/opened" 2>/dev/null; }

# Started as the run command starts it: the built program in the operator's folder.
PATH="$walk/bin:$PATH" "$program" >"$walk/program.out" 2>&1 &
program_pid=$!
pids+=($program_pid)
wait_for 20 log_has "INFO: Start Programm" || fail "program did not start"
wait_for 10 xdotool search --onlyvisible --name "Vantor" >/dev/null || fail "no main window"
window=$(xdotool search --onlyvisible --name "Vantor" | head -1)
# No window manager runs: the window is placed over the whole screen here.
xdotool windowmove "$window" 0 0 windowsize "$window" 1920 1080
xdotool windowfocus "$window" 2>/dev/null || true
shot start

# A dialog of the program is up when a visible window has this title.
dialog_up() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
dialog_gone() { ! xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
# Return pressed in the dialog that has the focus, which closes it; the key
# is let go only once the dialog is gone and the main window has the focus
# again, so its release lands on the main window (with "then-dialog", on the
# dialog that the answer opens). Neither may reach the instrument. The key
# is held for a short keystroke, or (with "held") past the window system's
# repeat delay, so that its repeats land on the main window too.
return_closing() { # return_closing <title> [then-dialog|held]
    mark
    xdotool keydown Return
    wait_for 10 dialog_gone "$1" || { xdotool keyup Return; fail "dialog \"$1\" stayed after Return"; }
    [[ ${2:-} == then-dialog ]] || xdotool windowfocus "$window" 2>/dev/null || true
    [[ ${2:-} == held ]] && sleep 1.5
    xdotool keyup Return
    no_key_commands "Return closing \"$1\""
}
# Types a path into the file dialog that has the focus and accepts it with Return.
answer_file_dialog() { # answer_file_dialog <title> <path>
    wait_for 10 dialog_up "$1" || fail "no dialog \"$1\""
    wait_for 10 focused "$1" || fail "dialog \"$1\" without the focus"
    key ctrl+a
    xdotool type --delay 20 "$2"
    sleep 0.3
    return_closing "$1"
}

# 1. "Файл" > "Открыть трассу": the PROFILE file the walk wrote; its
#    parameters appear in the trace list.
click 27 10
click 88 34
answer_file_dialog "Открыть трассу" "$walk/shaft.txt"
wait_for 20 log_has "obtain data from $walk/shaft.txt" || fail "trace not read"
wait_for 20 grep -q "save_trace_folder=$walk/" settings.ini || fail "folder not remembered"
shot opened

# 2. Ctrl+S saves it; the saved file reads back with every point.
main_key ctrl+s
answer_file_dialog "shaft.txt" "$walk/saved.txt"
wait_for 10 test -s "$walk/saved.txt" || fail "Ctrl+S wrote no file"
points=$("$simulator" --count "$walk/saved.txt") || fail "saved trace does not read back"
[[ $points == 4001 ]] || fail "saved trace reads back $points points"
shot saved

# 3. "В ИЗМЕРЕНИЯ" opens the measurement tab.
click 405 86
wait_for 10 log_has "INFO: Create measurment #1" || fail "no measurement tab"
shot measurement

# 4. A distance placed with the mouse: the distance tools, the direct
#    distance, two points on the trace, then the label.
click 36 179
click 189 185
click 491 880
click 1073 880
xdotool mousemove 782 527; sleep 0.3
click 782 527
wait_for 5 log_has "HorisontalDistanceMeasurment started in" || fail "no distance placed"
shot distance

# 5. Ctrl+P: the operator's name (asked once), then the protocol's file.
main_key ctrl+p
wait_for 10 dialog_up "Контроллер" || fail "no operator question"
xdotool type --delay 20 "Walker"
return_closing "Контроллер" then-dialog
answer_file_dialog "Сохранить отчет" "$walk/protocol"
wait_for 10 test -s "$walk/protocol.html" || fail "no protocol written"
grep -q "Walker" "$walk/protocol.html" || fail "protocol without the operator"
wait_for 10 opened_has "file://$walk/protocol.html" || fail "the written protocol was not opened: $(cat "$walk/opened" 2>/dev/null)"
shot protocol

# 6. "Настройки" > "Параметры": the axis unit.
click 95 10
click 130 34
wait_for 10 dialog_up "Параметры" || fail "no settings dialog"
shot settings
click 765 290          # "Отображение"
click 1114 406         # "Оси в"
mark
key Down
key Return             # in the open list: chooses the unit
no_key_commands "Down and Return in the unit list"
shot settings-unit
dialog_up "Параметры" || fail "Return in the list closed the settings"
return_closing "Параметры"
wait_for 10 grep -q "^axis_unit=1" settings.ini || fail "axis unit not saved"
wait_for 5 log_has "INFO: Close SettingsDialog" || fail "settings dialog not closed"
shot unit-changed

# 7. Back on "ПРОФИЛЬ", where the keys drive the instrument: "Справка"
#    opened with the mouse, "О программе" chosen with Down and Return in the
#    open menu, the window closed with Return. The keys go to the menu and
#    the window, none to the instrument.
click 54 45
mark
click 231 10
key Down
key Return
wait_for 10 dialog_up "О программе" || fail "Down and Return in the menu opened no About window"
no_key_commands "Down and Return in the open menu"
shot about
return_closing "О программе" held

# 8. Return on the main window acquires a trace from the simulated
#    instrument, which is saved on its own into the automatic folder; the
#    recommended cut-off, accepted with Return, is written into that file.
mark
main_key Return
wait_for 10 bash -c "tail -n +2 '$walk/simulator.out' | tail -n +$((mark_at + 1)) | grep -qx CS" \
    || fail "Return on the main window sent no trace start"
wait_for 20 bash -c "find '$build/Профили' -name '*.txt' -newer '$walk/shaft.txt' 2>/dev/null | grep -q ." \
    || fail "acquired trace not saved"
auto=$(find "$build/Профили" -name '*.txt' -newer "$walk/shaft.txt" | head -1)
"$simulator" --count "$auto" >/dev/null || fail "acquired trace does not read back"
log_has "INFO: startTrace" || fail "no trace started"
shot acquired
# The simulated trace is smooth: the program recommends a shorter cut-off.
# "Да" (the default, taken with Return) rewrites the trace's own file with it.
# The question takes no key in its first half second (a stop key pressed as
# the trace ends must not answer it): Return comes after that.
wait_for 20 dialog_up "Изменение фильтра" || fail "no cut-off question after the trace"
sleep 1
return_closing "Изменение фильтра"
wait_for 10 bash -c "! grep -qx 'filter:2500' '$auto'" || fail "accepted cut-off not written to $auto"
grep -q "^filter:" "$auto" || fail "rewritten trace file has no cut-off"
"$simulator" --count "$auto" >/dev/null || fail "rewritten trace does not read back"
shot cut-off-accepted

# 9. Down held on the main window jogs the column; another program's window
#    (a message) takes the keyboard and the key is let go there, out of the
#    program's sight. The jog stops all the same: one move, one stop.
count_since_mark() { commands_since_mark | grep -cx -- "$1" || true; }
wait_for 20 bash -c "xdotool search --onlyvisible --name 'Vantor' >/dev/null" || fail "main window gone"
xdotool windowfocus "$window" 2>/dev/null || true
wait_for 10 bash -c "[[ \$(xdotool getwindowfocus 2>/dev/null) == $window ]]" || fail "main window not focused"
mark
xdotool keydown Down
wait_for 10 bash -c "(( \$(tail -n +2 '$walk/simulator.out' | tail -n +$((mark_at + 1)) | grep -cx DZ-) >= 1 ))" \
    || { xdotool keyup Down; fail "Down held on the main window sent no jog"; }
xmessage -geometry 400x120+700+400 "another program" &
message_pid=$!
pids+=($message_pid)
wait_for 10 xdotool search --onlyvisible --name xmessage >/dev/null || { xdotool keyup Down; fail "no other window"; }
message=$(xdotool search --onlyvisible --name xmessage | head -1)
xdotool windowfocus "$message"
wait_for 10 bash -c "(( \$(tail -n +2 '$walk/simulator.out' | tail -n +$((mark_at + 1)) | grep -cx DZ0) >= 1 ))" \
    || { xdotool keyup Down; fail "the jog went on after another window took the keyboard: $(commands_since_mark | tr '\n' ' ')"; }
sleep 1
xdotool keyup Down
shot jog-stopped
xdotool windowfocus "$window" 2>/dev/null || true
sleep 1
[[ $(count_since_mark DZ-) == 1 && $(count_since_mark DZ0) == 1 ]] \
    || fail "one hold of Down sent $(commands_since_mark | tr '\n' ' ')"
kill "$message_pid" 2>/dev/null || true

kill -TERM "$program_pid"
wait_for 10 log_has "INFO: End programm" || fail "program did not end"
echo "walk passed: screenshots in $shots"
