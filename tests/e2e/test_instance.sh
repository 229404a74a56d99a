#!/usr/bin/env bash
# One instance and its command line, on a private X display with openbox and a tray host: a
# second start hands over and leaves one process, "pelora popup" opens a menu at the button or,
# with the strip hidden, at the pointer, "pelora menu --json" reads it, "pelora strip" hides and
# shows the strip, "pelora quit" ends it, a socket left by a killed instance is replaced, and
# SIGTERM ends it like Quit, with status 0 and the strip's last place stored.
# Usage: test_instance.sh <bundle dir> <artifact dir>. Exit 77 when a needed tool is missing.
set -uo pipefail

bundle=${1:?bundle dir}
artifacts=${2:?artifact dir}
for tool in Xvfb openbox xdotool xwininfo xprop import; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
python=/usr/bin/python3
[ -x "$python" ] || { echo "SKIP: $python is missing"; exit 77; }
[ -x "$bundle/Contents/MacOS/pelora" ] || { echo "FAIL: no bundle at $bundle"; exit 1; }

mkdir -p "$artifacts"
rm -f "$artifacts"/*.png
work=$(mktemp -d)
started=()

cleanup() {
    local pid
    for ((i = ${#started[@]} - 1; i >= 0; i--)); do
        pid=${started[i]}
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
pass() { echo "ok: $*"; }

export HOME="$work/home"
export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share"
export XDG_CACHE_HOME="$HOME/.cache" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME/Applications" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" \
    "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM SESSION_MANAGER
cp -a "$bundle" "$HOME/Applications/Pelora.app"
pelora="$HOME/Applications/Pelora.app/Contents/MacOS/pelora"
socket="$XDG_RUNTIME_DIR/pelora.socket"

# Waits up to $1 tenths of a second for the command to succeed.
waitFor() {
    local tenths=$1
    shift
    for ((t = 0; t < tenths; t++)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

Xvfb -displayfd 3 -screen 0 1440x900x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
started+=($!)
# The whole line: a display number read half-written would name another display.
waitFor 300 sh -c '[ "$(wc -l <"$1")" -ge 1 ]' _ "$work/display" ||
    { echo "FAIL: Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
openbox --sm-disable >"$work/openbox.log" 2>&1 &
started+=($!)
waitFor 300 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"' ||
    { echo "FAIL: openbox did not start"; cat "$work/openbox.log"; exit 1; }
if command -v trayer >/dev/null; then
    trayer --edge top --align right --widthtype pixel --width 200 --height 32 \
        --SetDockType true --SetPartialStrut true >"$work/trayer.log" 2>&1 &
    started+=($!)
fi

# "x y width height" of a window, from the X server.
geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
        /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}'
}
shot() { import -window root "$artifacts/$1.png" && echo "screenshot $artifacts/$1.png"; }
windowsOf() { xdotool search --onlyvisible --pid "$1" 2>/dev/null; }
# The visible windows of a process whose _NET_WM_WINDOW_TYPE is $2: UTILITY for the strip
# (the tray icon has none of its own).
windowsOfType() {
    local w
    for w in $(windowsOf "$1"); do
        xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q "_NET_WM_WINDOW_TYPE_$2" &&
            echo "$w"
    done
}
countOfType() { windowsOfType "$1" "$2" | wc -l; }
# The open menus of a process: Qt 6 types them as normal windows, but they alone are
# override-redirect children of the root (the tray icon is override-redirect too, inside the
# tray; the strip is managed).
menuWindows() {
    local w info
    for w in $(windowsOf "$1"); do
        info=$(xwininfo -children -id "$w" 2>/dev/null; xwininfo -id "$w" 2>/dev/null)
        grep -q "Override Redirect State: yes" <<<"$info" &&
            [ "$(awk '/Root window id/ {print $4}' <<<"$info")" = \
                "$(awk '/Parent window id/ {print $4}' <<<"$info")" ] && echo "$w"
    done
}
# Commands need no display; a time limit keeps a hung instance from hanging the test.
cmd() { DISPLAY='' timeout 20 "$pelora" "$@"; }
peloraProcesses() { pgrep -f -x "$pelora" | wc -l; }

startPelora() {
    "$pelora" >>"$work/pelora.log" 2>&1 &
    peloraPid=$!
    started+=($peloraPid)
}

# --- The first start --------------------------------------------------------------------
startPelora
waitFor 100 sh -c "xdotool search --onlyvisible --pid $peloraPid >/dev/null 2>&1" ||
    fail "no strip window appeared"
# The instance takes commands once its controllers exist.
waitFor 100 sh -c "DISPLAY= timeout 5 '$pelora' menu documents >/dev/null 2>&1"
status=0
cmd menu documents >/dev/null 2>"$work/first-menu.err" || status=$?
if [ "$status" -eq 3 ]; then
    echo "SKIP: this build does not claim the instance socket at start-up"
    exit 77
fi
[ "$status" -eq 0 ] || fail "pelora menu documents: status $status: $(cat "$work/first-menu.err")"
[ -S "$socket" ] && pass "the instance listens on $socket" || fail "no socket at $socket"
perms=$(stat -c %a "$socket" 2>/dev/null)
[[ "$perms" =~ ^[67]00$ ]] && pass "socket mode $perms" || fail "socket mode $perms"
[ "$(countOfType "$peloraPid" UTILITY)" -eq 1 ] && pass "one strip" ||
    fail "$(countOfType "$peloraPid" UTILITY) strip windows"
allWindows=$(windowsOf "$peloraPid" | wc -l)
shot instance-1-first

# --- A second start hands over and leaves -----------------------------------------------
"$pelora" >>"$work/pelora-second.log" 2>&1 &
secondPid=$!
started+=($secondPid)
if waitFor 100 sh -c "! kill -0 $secondPid 2>/dev/null"; then
    wait "$secondPid"
    code=$?
    [ "$code" -eq 0 ] && pass "the second start exited" || fail "second start: exit $code"
else
    fail "the second start is still running"
fi
[ "$(peloraProcesses)" -eq 1 ] && pass "one Pelora process" ||
    fail "$(peloraProcesses) Pelora processes"
[ "$(windowsOf "$peloraPid" | wc -l)" -eq "$allWindows" ] && pass "still $allWindows window(s)" ||
    fail "windows changed: $allWindows -> $(windowsOf "$peloraPid" | wc -l)"

# --- Menus: read without showing, then popped up -----------------------------------------
if cmd menu documents --json >"$work/documents.json" 2>"$work/menu.err"; then
    if "$python" - "$work/documents.json" <<'PY'; then
import json, sys
menu = json.load(open(sys.argv[1]))
assert menu["title"] == "Recent Documents", menu["title"]
items = menu["items"]
assert items and all("separator" in i or ("title" in i and "enabled" in i) for i in items), items
# The first entry is the section header, which is never enabled.
assert items[0]["enabled"] is False, items[0]
PY
        pass "menu documents --json"
    else
        fail "unexpected documents menu: $(cat "$work/documents.json")"
    fi
else
    fail "pelora menu documents --json: $(cat "$work/menu.err")"
fi
cmd menu clipboard | head -n1 | grep -qx "Clipboard" && pass "menu clipboard as text" ||
    fail "menu clipboard as text"
status=0
cmd menu tasks >/dev/null 2>&1 || status=$?
[ "$status" -eq 2 ] && pass "a module without a button is refused" || fail "menu tasks: $status"

menuShown() { [ "$(menuWindows "$peloraPid" | wc -l)" -gt 0 ]; }
menuGone() { [ "$(menuWindows "$peloraPid" | wc -l)" -eq 0 ]; }
# Escape, again while the menu stays: one that has just appeared may not hold the keyboard yet.
escapeMenu() { menuGone || { xdotool key Escape && false; }; }
stripShown() { [ "$(countOfType "$peloraPid" UTILITY)" -eq 1 ]; }
stripGone() { [ "$(countOfType "$peloraPid" UTILITY)" -eq 0 ]; }

cmd popup documents || fail "pelora popup documents"
if waitFor 50 menuShown; then
    pass "popup documents opened a menu"
    strip=$(windowsOfType "$peloraPid" UTILITY | head -n1)
    menu=$(menuWindows "$peloraPid" | head -n1)
    read -r sx sy < <(xwininfo -id "$strip" |
        awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} END {print x, y}')
    read -r mx my < <(xwininfo -id "$menu" |
        awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} END {print x, y}')
    # A vertical strip opens the documents menu beside the documents button, 112 down.
    ((my >= sy + 100 && my <= sy + 124)) && pass "menu beside its button ($mx, $my)" ||
        fail "menu at ($mx, $my), strip at ($sx, $sy)"
else
    fail "no menu window after popup documents"
fi
shot instance-2-popup-documents
waitFor 50 escapeMenu || fail "the menu did not close on Escape"

# --- The strip hidden and shown; the menu at the pointer --------------------------------
cmd strip hide || fail "pelora strip hide"
waitFor 50 stripGone && pass "strip hidden" || fail "strip still visible after strip hide"
stored=$(cmd defaults read PeloraStripVisible 2>/dev/null)
[ -z "$stored" ] || [ "$stored" = "bool false" ] ||
    fail "PeloraStripVisible after hide: $stored"
xdotool mousemove 500 400
cmd popup folders || fail "pelora popup folders with the strip hidden"
if waitFor 50 menuShown; then
    menu=$(menuWindows "$peloraPid" | head -n1)
    read -r x y < <(xwininfo -id "$menu" |
        awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} END {print x, y}')
    ((x >= 480 && x <= 520 && y >= 380 && y <= 420)) && pass "menu at the pointer ($x, $y)" ||
        fail "menu at ($x, $y), pointer at (500, 400)"
    shot instance-3-popup-at-pointer
else
    fail "no menu with the strip hidden"
fi
waitFor 50 escapeMenu || fail "the menu did not close on Escape"
cmd strip toggle || fail "pelora strip toggle"
waitFor 50 stripShown && pass "strip shown again" || fail "strip not shown after strip toggle"

# --- Quit -----------------------------------------------------------------------------
cmd quit || fail "pelora quit"
if waitFor 100 sh -c "! kill -0 $peloraPid 2>/dev/null"; then
    wait "$peloraPid"
    code=$?
    [ "$code" -eq 0 ] && pass "quit" || fail "exit $code after quit"
else
    fail "still running after pelora quit"
fi
[ ! -e "$socket" ] || fail "the socket outlived the instance"
status=0
cmd about 2>"$work/about.err" || status=$?
[ "$status" -eq 3 ] && pass "no instance: status 3" || fail "about without an instance: $status"

# --- A socket left by a killed instance is replaced -----------------------------------
startPelora
waitFor 100 sh -c "DISPLAY= timeout 5 '$pelora' menu windows >/dev/null 2>&1" ||
    fail "the restarted instance does not answer"
kill -9 "$peloraPid"
wait "$peloraPid" 2>/dev/null
[ -S "$socket" ] && pass "a killed instance leaves its socket" || echo "note: no socket left"
startPelora
waitFor 100 sh -c "DISPLAY= timeout 5 '$pelora' menu windows >/dev/null 2>&1" &&
    pass "a new start replaced the stale socket" || fail "no answer after a stale socket"

# --- SIGTERM ends it like Quit: status 0, the strip's last place stored ------------------
waitFor 100 sh -c "xdotool search --onlyvisible --pid $peloraPid >/dev/null 2>&1"
strip=$(windowsOfType "$peloraPid" UTILITY | head -n1)
before=$(geometry "$strip")
stripMoved() { [ "$(geometry "$strip")" != "$before" ]; }
xdotool windowmove "$strip" 700 300
waitFor 50 stripMoved || fail "the strip did not move from $before"
read -r sx sy sw sh <<<"$(geometry "$strip")"
# At once, before the defaults' own delayed write: the quit path stores the place.
kill -TERM "$peloraPid"
if waitFor 100 sh -c "! kill -0 $peloraPid 2>/dev/null"; then
    wait "$peloraPid"
    code=$?
    [ "$code" -eq 0 ] && pass "SIGTERM ended Pelora with status 0" || fail "exit $code after SIGTERM"
else
    fail "still running after SIGTERM"
fi
frame=$(DISPLAY= QT_QPA_PLATFORM=offscreen timeout 10 "$pelora" defaults read PeloraStripWindowFrame)
expected="string \"{{$sx, $((900 - sy - sh))}, {$sw, $sh}}\""
[ "$frame" = "$expected" ] && pass "strip frame stored at SIGTERM: $frame" ||
    fail "strip frame after SIGTERM: '$frame', the strip was at $expected"

if ((failures > 0)); then
    echo "--- pelora log"
    cat "$work/pelora.log" "$work/pelora-second.log" 2>/dev/null
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
