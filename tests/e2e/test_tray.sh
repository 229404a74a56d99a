#!/usr/bin/env bash
# The tray icon on a private X display with openbox and trayer as the tray host: Pelora runs
# with its strip while there is no tray, its icon embeds when the tray appears, a click opens
# the tray menu, the clipboard submenu pastes an entry copied earlier with xclip, and the quit
# entry ends the program with exit status 0 and the strip's frame stored.
# Usage: test_tray.sh <bundle dir> <artifact dir>. Exit 77 when a needed tool is missing.
set -uo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
e2eInit "$@" Xvfb openbox trayer xdotool xclip xwininfo xprop import /usr/bin/python3
e2eInstall
# The tray is trayer's, over XEmbed: no StatusNotifierItem host of this machine's session.
unset DBUS_SESSION_BUS_ADDRESS
python=/usr/bin/python3
e2eStartDisplay

# The visible windows of a process whose _NET_WM_WINDOW_TYPE is $2: UTILITY for the strip.
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
menuCount() { menuWindows "$peloraPid" | wc -l; }
# The process's window inside the tray: trayer spans the top 32 pixels of the screen, and
# nothing else of Pelora's lives there.
trayIcon() {
    local w x y width height
    for w in $(windowsOf "$1"); do
        read -r x y width height <<<"$(geometry "$w")"
        [ -n "$height" ] && ((y >= 0 && y + height <= 32 && width > 0 && x >= 1440 - 200)) &&
            echo "$w"
    done
}
cmd() { DISPLAY='' timeout 20 "$pelora" "$@"; }
clipboardText() { timeout 5 xclip -o -selection clipboard 2>/dev/null; }
# Puts text on the clipboard the way an ordinary program does: xclip keeps serving it until
# another program takes the clipboard.
copy() {
    printf '%s' "$1" | xclip -quiet -selection clipboard >/dev/null 2>&1 &
    started+=($!)
    waitFor 50 sh -c "[ \"\$(timeout 5 xclip -o -selection clipboard 2>/dev/null)\" = '$1' ]"
}
# The tray menu's window, once it is open.
menuWindow() { menuWindows "$peloraPid" | head -n1; }

# --- No tray yet: the strip alone ----------------------------------------------------------
startPelora
waitFor 100 sh -c "DISPLAY= timeout 5 '$pelora' menu clipboard >/dev/null 2>&1" ||
    fail "the instance does not answer"
[ "$(countOfType "$peloraPid" UTILITY)" -eq 1 ] && pass "the strip runs without a tray" ||
    fail "no strip without a tray"
[ "$(windowsOf "$peloraPid" | wc -l)" -eq 1 ] && pass "no icon window without a tray" ||
    fail "windows without a tray: $(windowsOf "$peloraPid" | wc -l)"

# --- The tray appears: the icon embeds -------------------------------------------------------
trayer --edge top --align right --widthtype pixel --width 200 --height 32 \
    --SetDockType true --SetPartialStrut true >"$work/trayer.log" 2>&1 &
started+=($!)
if waitFor 100 sh -c "[ -n \"\$(xdotool search --onlyvisible --pid $peloraPid 2>/dev/null |
        while read -r w; do xwininfo -id \$w | awk '/Absolute upper-left Y/ {y=\$NF}
        /Height:/ {h=\$NF} END {if (y >= 0 && y + h <= 32) print \"in\"}'; done)\" ]"; then
    pass "the icon embedded in the tray that appeared later"
else
    fail "no icon in the tray"
fi
icon=$(trayIcon "$peloraPid" | head -n1)
if [ -n "$icon" ]; then
    read -r ix iy iw ih <<<"$(settledGeometry "$icon")"
    pass "icon at ($ix, $iy), ${iw}x${ih}"
    # The glyph is drawn: the icon's square holds dark pixels on trayer's light background.
    darkPixels() {
        import -window root -crop "${iw}x${ih}+${ix}+${iy}" "$work/icon.png"
        dark=$(convert "$work/icon.png" -colorspace gray -threshold 40% -format '%[fx:int(w*h*(1-mean))]' info:)
        ((dark >= 10))
    }
    waitFor 50 darkPixels && pass "the icon shows its glyph ($dark dark pixels)" ||
        fail "the icon looks empty ($dark dark pixels)"
fi
shot tray-1-icon

# --- Two entries on the clipboard --------------------------------------------------------
# The history looks once a second: each copy is listed before the next replaces it.
listed() { cmd menu clipboard --json 2>/dev/null | grep -qF "\"$1\""; }
copy "Pelora e2e first" || fail "xclip did not take the clipboard"
waitFor 100 listed "Pelora e2e first" || fail "the first copy is not listed"
copy "Pelora e2e second" || fail "xclip did not take the clipboard again"
waitFor 100 listed "Pelora e2e second" || fail "the second copy is not listed"
cmd menu clipboard --json >"$work/clipboard.json" 2>"$work/clipboard.err" ||
    fail "pelora menu clipboard --json: $(cat "$work/clipboard.err")"
# Where the first copy sits for the keyboard: the enabled items Qt walks with the arrow keys,
# first the group, then the entry inside it.
read -r groupIndex entryIndex < <("$python" - "$work/clipboard.json" <<'PY'
import json, sys
try:
    menu = json.load(open(sys.argv[1]))
except Exception:
    print(-1, -1); sys.exit()
enabled = [i for i in menu.get("items", []) if "separator" not in i and i.get("enabled")]
for g, group in enumerate(enabled):
    entries = [i for i in group.get("submenu", {}).get("items", [])
               if "separator" not in i and i.get("enabled")]
    for e, entry in enumerate(entries):
        if entry.get("title") == "Pelora e2e first":
            print(g, e); sys.exit()
print(-1, -1)
PY
)
if ((groupIndex < 0)); then
    fail "the clipboard menu does not list the first copy: $(cat "$work/clipboard.json")"
fi

# --- A click on the icon opens the menu ---------------------------------------------------
openTrayMenu() {
    xdotool mousemove $((ix + iw / 2)) $((iy + ih / 2)) click 1
    menuOpen() { [ "$(menuCount)" -gt 0 ]; }
    waitFor 50 menuOpen
}
if [ -n "$icon" ] && openTrayMenu; then
    menu=$(menuWindow)
    read -r mx my mw mh <<<"$(geometry "$menu")"
    pass "a click opened the tray menu at ($mx, $my), ${mw}x${mh}"
    ((my >= 28 && my <= 60 && mx + mw <= 1440)) || fail "the menu is not below the icon"
    # Ten items: five entries, two separators, three commands.
    ((mh >= 150)) || fail "the menu is too short for ten items: $mh"
    shot tray-2-menu

    # The clipboard entry is the fourth; the submenus open to the right, first item active.
    menusOpen() { (($(menuCount) >= $1)); }
    pressUntilAnswered "$menu" Down || fail "the tray menu does not answer the keyboard"
    xdotool key Down Down Down Right
    waitFor 50 menusOpen 2 || fail "the clipboard submenu did not open"
    ((groupIndex > 0)) && xdotool key $(printf 'Down %.0s' $(seq "$groupIndex"))
    xdotool key Right
    waitFor 50 menusOpen 3 && pass "the clipboard submenu and its group are open" ||
        fail "$(menuCount) menu windows open instead of the menu, the clipboard and its group"
    ((entryIndex > 0)) && xdotool key $(printf 'Down %.0s' $(seq "$entryIndex"))
    shot tray-3-clipboard
    xdotool key Return
    waitFor 50 sh -c "[ \"\$(timeout 5 xclip -o -selection clipboard 2>/dev/null)\" = 'Pelora e2e first' ]" &&
        pass "the chosen entry is on the clipboard again" ||
        fail "clipboard holds \"$(clipboardText)\" after choosing the first copy"
    menusClosed() { [ "$(menuCount)" -eq 0 ]; }
    waitFor 50 menusClosed || fail "the menus stayed open after choosing"
else
    fail "no menu after a click on the icon"
fi
# Another program can paste it: xclip reads what Pelora serves.
[ "$(clipboardText)" = "Pelora e2e first" ] && pass "pasted: $(clipboardText)"

# --- The quit entry -------------------------------------------------------------------------
# Where the strip is, as the stored frame writes it: bottom-left origin on the 900-high screen.
read -r sx sy sw sh <<<"$(geometry "$(windowsOfType "$peloraPid" UTILITY | head -n1)")"
expectedFrame="string \"{{$sx, $((900 - sy - sh))}, {$sw, $sh}}\""
# Escape closes one menu at a time.
allClosed() { [ "$(menuCount)" -eq 0 ] || { xdotool key Escape && false; }; }
waitFor 30 allClosed || fail "the menus do not close"
if [ -n "$icon" ] && openTrayMenu; then
    menu=$(menuWindow)
    read -r mx my mw mh <<<"$(geometry "$menu")"
    # The quit entry is the last one, at the bottom of the menu.
    xdotool mousemove $((mx + 40)) $((my + mh - 14))
    shot tray-4-quit
    xdotool click 1
    if waitFor 100 sh -c "! kill -0 $peloraPid 2>/dev/null"; then
        wait "$peloraPid"
        code=$?
        [ "$code" -eq 0 ] && pass "the quit entry ended Pelora with status 0" ||
            fail "exit status $code after the quit entry"
    else
        fail "still running after the quit entry"
    fi
else
    fail "the menu did not open a second time"
fi
frame=$(defaultsTool read PeloraStripWindowFrame 2>/dev/null)
[ "$frame" = "$expectedFrame" ] && pass "strip frame stored: $frame" ||
    fail "strip frame after quitting: '$frame', the strip was at $expectedFrame"

e2eFinish
