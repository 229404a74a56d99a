#!/usr/bin/env bash
# The favorites editor from the installed strip on a private X display: the documents button's
# menu, its edit item chosen with the keyboard, a document and then a folder added through the
# open panel by typing their paths, the stored favorites read back with the defaults tool,
# Return closing the editor. Screenshots of each step are kept.
# Usage: test_editor.sh <bundle dir> <artifact dir>. Exit 77 when a needed tool is missing or
# this build's documents menu has no edit item.
set -uo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
e2eInit "$@" Xvfb openbox xdotool xwininfo xprop import od
e2eInstall
skip() {
    echo "SKIP: $*"
    exit 77
}

document="$HOME/Documents/Travel Plan.txt"
mkdir -p "$HOME/Documents"
echo "three days by the sea" >"$document"

editorWindow() {
    xdotool search --all --onlyvisible --pid "$peloraPid" --name '^Edit Favorites$' 2>/dev/null |
        head -n1
}
editorShown() { [ -n "$(editorWindow)" ]; }
editorGone() { ! editorShown; }
# A menu: a window of the program besides the strip, marked as a menu or placed by itself.
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
panelGone() { ! xwininfo -id "$panel" 2>/dev/null | grep -q IsViewable; }
storedDocuments() { defaultsTool read PeloraFavoriteBookmarks 2>/dev/null | grep -q 'data <'; }
hex() { printf %s "$1" | od -An -tx1 | tr -d ' \n'; }

e2eStartDisplay
startPelora
read -r sx sy stripWidth stripHeight <<<"$(geometry "$strip")"
defaultsTool read >/dev/null 2>&1 || skip "this build has no 'pelora defaults' tool"

# --- The documents menu and its edit item ------------------------------------------------
# When the running program can list the menu: the number of enabled top-level entries down to
# the edit item, the keyboard steps that lead to it. Otherwise it is the menu's last entry.
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
    [ -n "$steps" ] || skip "the documents menu has no edit item: $(cat "$work/documents.json")"
fi

# The documents button: the third module button, its centre 112 along the strip.
if ((stripWidth < stripHeight)); then
    xdotool mousemove $((sx + stripWidth / 2)) $((sy + 112)) click 1
else
    xdotool mousemove $((sx + 112)) $((sy + stripHeight / 2)) click 1
fi
waitFor 50 menuShown || skip "the documents button opens no menu in this build"
pass "the documents menu is open"
shot editor-1-documents-menu
menu=$(for w in $(windowsOf "$peloraPid"); do [ "$w" != "$strip" ] && echo "$w"; done | head -n1)
if [ -n "$steps" ]; then
    pressUntilAnswered "$menu" Down || fail "the menu does not answer the keyboard"
    for ((i = 1; i < steps; i++)); do
        xdotool key --clearmodifiers Down
    done
else
    pressUntilAnswered "$menu" Up || fail "the menu does not answer the keyboard"
fi
xdotool key --clearmodifiers Return

if ! waitFor 50 editorShown; then
    [ -n "$steps" ] && {
        fail "the edit item opened no editor"
        e2eFinish
    }
    xdotool key Escape
    skip "the edit item was not found: the last entry of the documents menu opened no editor"
fi
editor=$(editorWindow)
read -r ex ey ew eh <<<"$(settledGeometry "$editor")"
[ "$ew $eh" = "560 440" ] && pass "the editor is 560x440" || fail "editor size ${ew}x$eh"
# Centred on the screen, give or take the window manager's title bar.
((ex + ew / 2 >= 700 && ex + ew / 2 <= 740 && ey + eh / 2 >= 420 && ey + eh / 2 <= 480)) &&
    pass "the editor is centred ($ex, $ey)" || fail "editor at ($ex, $ey)"
xprop -id "$editor" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE && pass "the editor stays above" ||
    fail "the editor is not kept above the strip"
editors=$(xdotool search --all --onlyvisible --pid "$peloraPid" --name '^Edit Favorites$' | wc -l)
[ "$editors" -eq 1 ] || fail "$editors editor windows"
shot editor-2-open

# --- A document, then a folder, added through the panel, with the keyboard --------------
# Presses the add button, types the path into Qt's file dialog and confirms with Return.
addThroughPanel() {
    local before
    before=$(windowsOf "$peloraPid" | sort)
    # The add button: the first of the button row, 12 in from the left and bottom edges.
    xdotool mousemove $((ex + 32)) $((ey + eh - 12 - 15)) click 1
    panel=""
    findPanel() {
        panel=$(comm -13 <(echo "$before") <(windowsOf "$peloraPid" | sort) | head -n1)
        [ -n "$panel" ]
    }
    if ! waitFor 50 findPanel; then
        fail "no panel after pressing the add button"
        return
    fi
    pass "the add panel opened"
    settledGeometry "$panel" >/dev/null
    xdotool windowactivate --sync "$panel" 2>/dev/null || xdotool windowfocus --sync "$panel"
    # Qt's own file dialog starts in its file-name field.
    xdotool type --delay 15 "$1"
    shot "editor-3-panel-$2"
    xdotool key --clearmodifiers Return
    # A completion list may take the first Return.
    waitFor 20 panelGone || xdotool key --clearmodifiers Return
    waitFor 30 panelGone || fail "the panel did not close after Return"
}
addThroughPanel "$document" document

# --- The stored favorite -----------------------------------------------------------------
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
shot editor-4-added

# A folder chosen in the panel is added, not entered.
folder="$HOME/Projects"
mkdir -p "$folder/Inner"
storedFolders() { defaultsTool read PeloraFavoriteFolders 2>/dev/null | grep -q "$(hex "$folder")>"; }
addThroughPanel "$folder" folder
waitFor 30 storedFolders && pass "the folder became a folder favorite" ||
    fail "no folder favorite stored: $(defaultsTool read PeloraFavoriteFolders 2>&1)"

# --- Return closes the editor ------------------------------------------------------------
xdotool windowactivate --sync "$editor" 2>/dev/null || xdotool windowfocus --sync "$editor"
xdotool key --clearmodifiers Return
waitFor 30 editorGone && pass "Return closed the editor" || fail "the editor is still open"
kill -0 "$peloraPid" 2>/dev/null && pass "Pelora still runs" || fail "Pelora ended"
shot editor-5-closed

e2eFinish
