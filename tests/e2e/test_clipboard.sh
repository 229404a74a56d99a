#!/usr/bin/env bash
# The clipboard history on a private X display with openbox: text copied with xclip while a
# terminal is in front, a PNG while a logo program is in front and a file list with nothing in
# front, each noticed by the history; the clipboard menu of the real strip groups them by
# source, newest first; choosing each entry with the keyboard puts it back for `xclip -o`, the
# text last; pasting back adds nothing to the history.
# Usage: test_clipboard.sh <bundle dir> <artifact dir>. Exit 77 when a needed tool is missing.
set -uo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
e2eInit "$@" Xvfb openbox xdotool xwininfo xprop import convert identify gio xterm xlogo xclip \
    python3
source "$(dirname "${BASH_SOURCE[0]}")/apps_lib.sh"

startStrip
hasMenuCommand=false
if waitFor 50 sh -c "DISPLAY= timeout 5 '$pelora' menu clipboard --json >/dev/null 2>&1"; then
    hasMenuCommand=true
else
    echo "note: no 'pelora menu' command in this build; the groups are checked by choosing"
fi
launchTestApps
terminal=$(appWindow "$terminalClass")
logo=$(appWindow "$logoClass")
[ -n "$terminal" ] && [ -n "$logo" ] || { fail "the test programs did not start"; finish; }

# Each xclip owns the clipboard until the next one takes it over; it then exits.
copy() { # type file
    xclip -selection clipboard -quiet -t "$1" -i "$2" >/dev/null 2>&1 &
    started+=($!)
}

# The clipboard menu as lines "group|entry", in menu order.
clipboardEntries() {
    menuJson clipboard | /usr/bin/env python3 -c '
import json, sys
for item in json.load(sys.stdin)["items"]:
    for entry in item.get("submenu", {}).get("items", []):
        print(item["title"], entry.get("title"), sep="|")
'
}
# Waits for the menu to list lines matching the pattern (a bash glob), twenty seconds at most;
# an older build without the menu command gets two seconds.
expectEntries() { # what pattern
    local deadline=$((SECONDS + 20)) got
    if ! $hasMenuCommand; then
        sleep 2
        return 0
    fi
    while :; do
        got=$(clipboardEntries 2>/dev/null)
        # shellcheck disable=SC2053 # the pattern is a glob on purpose
        [[ "$got" == $2 ]] && { pass "$1"; return 0; }
        ((SECONDS <= deadline)) || break
        sleep 0.1
    done
    fail "$1: expected $2, got
$got"
    return 1
}

text="Words copied in the terminal"
printf '%s' "$text" >"$work/text.txt"
convert -size 720x360 xc:orange "$work/picture.png"
mkdir -p "$HOME/Documents"
echo a >"$HOME/Documents/first.txt"
echo b >"$HOME/Documents/second.txt"
printf 'file://%s\r\nfile://%s\r\n' "$HOME/Documents/first.txt" "$HOME/Documents/second.txt" \
    >"$work/files.uri"

# Pelora has seen the program come to the front: the open-applications menu lists it first.
inFront() {
    menuJson windows | /usr/bin/env python3 -c '
import json, sys
titles = [i.get("title") for i in json.load(sys.stdin)["items"] if not i.get("separator")]
sys.exit(0 if len(titles) > 1 and titles[1] == sys.argv[1] else 1)' "$1"
}
xdotool windowactivate --sync "$terminal" 2>/dev/null
waitFor 50 inFront "Test Terminal" || fail "Pelora did not see the terminal in front"
copy text/plain "$work/text.txt"
expectEntries "text from the terminal" "Test Terminal|$text"

xdotool windowactivate --sync "$logo" 2>/dev/null
waitFor 50 inFront "Test Logo" || fail "Pelora did not see the logo program in front"
copy image/png "$work/picture.png"
expectEntries "a picture from the logo program" "Test Logo|*720*360*
Test Terminal|$text"

# Nothing in front: the file list has no source application.
xdotool windowminimize --sync "$terminal"
xdotool windowminimize --sync "$logo"
nothingActive() { [ "$(xprop -root _NET_ACTIVE_WINDOW | awk '{print $NF}')" = 0x0 ]; }
waitFor 20 nothingActive || fail "a window is still active: $(xprop -root _NET_ACTIVE_WINDOW)"
copy text/uri-list "$work/files.uri"
expectEntries "a file list from no application, newest first" "*|*2*
Test Logo|*720*360*
Test Terminal|$text"
if $hasMenuCommand; then
    before=$(clipboardEntries)
    menuJson clipboard >"$work/clipboard.json"
    /usr/bin/env python3 - "$work/clipboard.json" <<'EOF' && pass "menu shape" ||
import json, sys
menu = json.load(open(sys.argv[1]))
assert menu["title"] == "Clipboard", menu["title"]
items = menu["items"]
assert len(items) == 6, items
assert not items[0]["enabled"], items[0]
assert [bool(i.get("submenu")) for i in items[1:4]] == [True] * 3, items
assert items[1]["title"] not in ("Test Logo", "Test Terminal", ""), items[1]
assert items[4].get("separator"), items[4]
assert items[5]["enabled"], items[5]
EOF
        fail "clipboard menu: $(cat "$work/clipboard.json")"
fi

# --- The real menu: each group's entry chosen with the keyboard -------------------------
# Groups newest first below the header: no application, Test Logo, Test Terminal. Right opens
# a group with its first entry selected.
chooseInGroup() { # group number, screenshot name
    local keys=()
    for ((i = 0; i < $1; i++)); do keys+=(Down); done
    keys+=(Right)
    openMenuAt clipboard || { fail "no menu after pressing the clipboard button"; return 1; }
    chooseWithKeys "${keys[@]}"
    twoMenus() { (($(menuWindows | wc -l) >= 2)); }
    waitFor 50 twoMenus || fail "the group did not open"
    shot "$2"
    xdotool key Return
    menuGone || fail "the menu stayed open"
}

chooseInGroup 1 clipboard-1-files
filesBack() {
    local got
    got=$(xclip -selection clipboard -o -t text/uri-list 2>/dev/null)
    [[ "$got" == *"$HOME/Documents/first.txt"* && "$got" == *"$HOME/Documents/second.txt"* ]]
}
waitFor 20 filesBack && pass "the file list is back" ||
    fail "after choosing the files: $(xclip -selection clipboard -o -t TARGETS 2>&1 | tr '\n' ' ')"

chooseInGroup 2 clipboard-2-picture
pictureBack() {
    [ "$(xclip -selection clipboard -o -t image/png 2>/dev/null | identify -format '%wx%h' - 2>/dev/null)" = 720x360 ]
}
waitFor 20 pictureBack && pass "the picture is back" ||
    fail "after choosing the picture: $(xclip -selection clipboard -o -t TARGETS 2>&1 | tr '\n' ' ')"

chooseInGroup 3 clipboard-3-text
textBack() { [ "$(xclip -selection clipboard -o 2>/dev/null)" = "$text" ]; }
if waitFor 20 textBack; then
    pass "xclip -o reads the chosen text"
else
    fail "xclip -o reads: $(xclip -selection clipboard -o 2>&1 | head -c 200)"
fi

# Putting entries back is no new copy: the history keeps its entries and order.
if $hasMenuCommand; then
    # The history looks once a second; a change would show within a few of its looks.
    changed() { [ "$(clipboardEntries)" != "$before" ]; }
    if waitFor 15 changed; then
        fail "the history changed: $before -> $(clipboardEntries)"
    else
        pass "the history is unchanged after pasting back"
    fi
fi

finish
