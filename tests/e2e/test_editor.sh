#!/usr/bin/env bash
# The favorites editor from the real strip on a private 1440x900 X display with openbox: the
# documents button's menu, its edit item chosen with the keyboard, a document added through
# the open panel by typing its path, the stored favorite read back with the defaults tool, and
# Return closing the editor. Screenshots of each step are kept.
# Usage: test_editor.sh <bundle dir> <artifact dir>. Exit 77 when a needed tool is missing or
# this build's documents menu has no edit item yet.
set -uo pipefail

bundle=${1:?bundle dir}
artifacts=${2:?artifact dir}
for tool in Xvfb openbox xdotool xwininfo xprop import od; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
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
skip() {
    echo "SKIP: $*"
    exit 77
}

export HOME="$work/home"
export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share"
export XDG_CACHE_HOME="$HOME/.cache" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME/Applications" "$HOME/Documents" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" \
    "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM SESSION_MANAGER
cp -a "$bundle" "$HOME/Applications/Pelora.app"
pelora="$HOME/Applications/Pelora.app/Contents/MacOS/pelora"
document="$HOME/Documents/Travel Plan.txt"
echo "three days by the sea" >"$document"

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
waitFor 100 test -s "$work/display" || { echo "FAIL: Xvfb did not start"; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
openbox --sm-disable >"$work/openbox.log" 2>&1 &
started+=($!)
waitFor 100 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"' ||
    { echo "FAIL: openbox did not start"; exit 1; }

shot() { import -window root "$artifacts/$1.png" && echo "screenshot $artifacts/$1.png"; }
windowsOf() { xdotool search --onlyvisible --pid "$1" 2>/dev/null; }
# The visible windows of a process whose _NET_WM_WINDOW_TYPE is $2 (UTILITY for the strip,
# POPUP_MENU for a menu, NORMAL or DIALOG for the editor and its panel).
windowsOfType() {
    local w
    for w in $(windowsOf "$1"); do
        xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q "_NET_WM_WINDOW_TYPE_$2" &&
            echo "$w"
    done
}
editorWindow() {
    xdotool search --all --onlyvisible --pid "$peloraPid" --name '^Edit Favorites$' 2>/dev/null |
        head -n1
}
editorShown() { [ -n "$(editorWindow)" ]; }
# A menu: a pop-up window of the program, marked as a menu or placed by itself.
menuShown() {
    local w
    for w in $(windowsOf "$peloraPid"); do
        [ "$w" = "$strip" ] && continue
        xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q 'POPUP_MENU\|DROPDOWN_MENU' &&
            return 0
        xwininfo -id "$w" 2>/dev/null | grep -q 'Override Redirect State: yes' && return 0
    done
    return 1
}
editorGone() { ! editorShown; }
panelGone() { ! xwininfo -id "$panel" 2>/dev/null | grep -q IsViewable; }
storedDocuments() { defaultsTool read PeloraFavoriteBookmarks 2>/dev/null | grep -q 'data <'; }
# "x y width height" of a window's content, from the X server.
geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
        /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}'
}
# Commands need no display; a time limit keeps a hung instance from hanging the test.
defaultsTool() { DISPLAY= QT_QPA_PLATFORM=offscreen timeout 10 "$pelora" defaults "$@"; }
hex() { printf %s "$1" | od -An -tx1 | tr -d ' \n'; }

"$pelora" >>"$work/pelora.log" 2>&1 &
peloraPid=$!
started+=($peloraPid)
waitFor 100 sh -c "xdotool search --onlyvisible --pid $peloraPid >/dev/null 2>&1" ||
    { echo "FAIL: no strip window appeared"; cat "$work/pelora.log"; exit 1; }
strip=$(windowsOf "$peloraPid" | head -n1)
sleep 0.5 # let the window manager settle the window
read -r sx sy stripWidth stripHeight <<<"$(geometry "$strip")"
defaultsTool read >/dev/null 2>&1 || skip "this build has no 'pelora defaults' tool"

# --- The documents menu and its edit item --------------------------------------------------
# How many keyboard steps lead to the edit item, when the running instance can list the menu:
# the enabled top-level entries down to it. Without that listing it is the menu's last entry.
steps=""
if [ -x /usr/bin/python3 ] &&
    DISPLAY= timeout 10 "$pelora" menu documents --json >"$work/documents.json" 2>/dev/null; then
    steps=$(/usr/bin/python3 - "$work/documents.json" <<'PY'
import json, sys
n = 0
for item in json.load(open(sys.argv[1])).get("items", []):
    if item.get("separator") or not item.get("enabled"):
        continue
    n += 1
    if item.get("title", "").startswith("Edit Favorites"):
        print(n)
        break
PY
    )
    [ -n "$steps" ] || skip "the documents menu has no edit item yet: $(cat "$work/documents.json")"
fi

# The documents button: the third module button, 112 along a vertical strip from its top.
if ((stripWidth < stripHeight)); then
    xdotool mousemove $((sx + stripWidth / 2)) $((sy + 112)) click 1
else
    xdotool mousemove $((sx + 112)) $((sy + stripHeight / 2)) click 1
fi
waitFor 50 menuShown || skip "the documents button opens no menu in this build"
pass "the documents menu is open"
sleep 0.3
shot editor-1-documents-menu
if [ -n "$steps" ]; then
    for ((i = 0; i < steps; i++)); do xdotool key --clearmodifiers Down; sleep 0.05; done
else
    xdotool key --clearmodifiers Up
fi
sleep 0.2
xdotool key --clearmodifiers Return

if ! waitFor 50 editorShown; then
    [ -n "$steps" ] && { fail "the edit item opened no editor"; cat "$work/pelora.log"; exit 1; }
    xdotool key Escape
    skip "the edit item was not found: the last entry of the documents menu opened no editor"
fi
editor=$(editorWindow)
sleep 0.5
read -r ex ey ew eh <<<"$(geometry "$editor")"
[ "$ew $eh" = "560 440" ] && pass "the editor is 560x440" || fail "editor size ${ew}x$eh"
# Centred on the screen, give or take the window manager's title bar.
((ex + ew / 2 >= 700 && ex + ew / 2 <= 740 && ey + eh / 2 >= 420 && ey + eh / 2 <= 480)) &&
    pass "the editor is centred ($ex, $ey)" || fail "editor at ($ex, $ey)"
xprop -id "$editor" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE && pass "the editor stays above" ||
    fail "the editor is not kept above the strip"
[ "$(xdotool search --all --onlyvisible --pid "$peloraPid" --name '^Edit Favorites$' | wc -l)" -eq 1 ] ||
    fail "more than one editor window"
shot editor-2-open

# --- Adding a document through the panel, with the keyboard --------------------------------
before=$(windowsOf "$peloraPid" | sort)
# The add button: the first in the button row, 12 from the left and bottom edges.
xdotool mousemove $((ex + 32)) $((ey + eh - 12 - 15)) click 1
panel=""
findPanel() {
    panel=$(comm -13 <(echo "$before") <(windowsOf "$peloraPid" | sort) | head -n1)
    [ -n "$panel" ]
}
if waitFor 50 findPanel; then
    pass "the add panel opened"
    sleep 0.5
    xdotool windowactivate --sync "$panel" 2>/dev/null || xdotool windowfocus --sync "$panel"
    # Qt's own file dialog starts in its file-name field.
    xdotool type --delay 15 "$document"
    sleep 0.5
    shot editor-3-panel
    xdotool key --clearmodifiers Return
    # A completion list may take the first Return.
    if ! waitFor 20 panelGone; then
        xdotool key --clearmodifiers Return
    fi
    waitFor 30 panelGone ||
        fail "the panel did not close after Return"
else
    fail "no panel after pressing the add button"
fi

# --- The stored favorite ---------------------------------------------------------------------
if waitFor 30 storedDocuments; then
    stored=$(defaultsTool read PeloraFavoriteBookmarks)
    count=$(grep -c 'data <' <<<"$stored")
    [ "$count" -eq 1 ] && pass "one document favorite stored" || fail "stored: $stored"
    # The reference ends with the file's path.
    grep -q "$(hex "$document")>" <<<"$stored" && pass "it refers to $document" ||
        fail "the stored reference does not name $document: $stored"
    times=$(defaultsTool read PeloraFavoriteBookmarksAddedAt)
    grep -q '^ *float' <<<"$times" && pass "its time is stored" || fail "added-at list: $times"
else
    fail "no document favorite stored: $(defaultsTool read PeloraFavoriteBookmarks 2>&1)"
fi
sleep 0.5
shot editor-4-added

# --- Return closes the editor ----------------------------------------------------------------
xdotool windowactivate --sync "$editor" 2>/dev/null || xdotool windowfocus --sync "$editor"
xdotool key --clearmodifiers Return
waitFor 30 editorGone &&
    pass "Return closed the editor" || fail "the editor is still open after Return"
kill -0 "$peloraPid" 2>/dev/null && pass "Pelora still runs" || fail "Pelora ended"
shot editor-5-closed

if ((failures > 0)); then
    echo "--- pelora log"
    cat "$work/pelora.log"
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
