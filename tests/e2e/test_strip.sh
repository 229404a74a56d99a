#!/usr/bin/env bash
# The installed strip on a private X display with openbox: its window's desktop properties;
# each button opens its menu beside it; favorites of each kind are listed newest first; items
# chosen with the keyboard (or typed: "ga" is Gamma) open in the default handler and enter the
# history; the favorites editor adds through the open panel; the settings button opens the
# settings; a drag by the handle survives a restart; the orientation switched from outside,
# keeping the edge the strip is against.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
e2eInit "$@" Xvfb openbox xdotool xwininfo xprop import xdg-mime wmctrl od

opened="$work/opened.txt"
recorder "$opened" %f text/plain inode/directory

# Used lately, as the desktop reports it: one document.
recent="$HOME/Documents/Notes.txt"
echo notes >"$recent"
now=$(date -u +%Y-%m-%dT%H:%M:%SZ)
printf '<?xml version="1.0"?><xbel version="1.0" xmlns:bookmark="http://www.freedesktop.org/standards/desktop-bookmarks" xmlns:mime="http://www.freedesktop.org/standards/shared-mime-info"><bookmark href="file://%s" added="%s" modified="%s" visited="%s"><info><metadata owner="http://freedesktop.org"><mime:mime-type type="text/plain"/><bookmark:applications><bookmark:application name="Editor" exec="editor %%u" modified="%s" count="1"/></bookmark:applications></metadata></info></bookmark></xbel>\n' \
    "$recent" "$now" "$now" "$now" "$now" >"$XDG_DATA_HOME/recently-used.xbel"

# Three favorites of each kind, stored oldest first as the program stores them: a reference
# to the item (path and identity) and the time it was added.
favorites() { # key, paths...
    local data=() times=() p t=700000000
    for p in "${@:2}"; do
        data+=(-data "$(reference "$p")")
        times+=(-float $((t += 60)))
    done
    cmd defaults write "$1" -array "${data[@]}" && cmd defaults write "$1AddedAt" -array "${times[@]}"
}
for name in Alpha Beta Gamma; do
    echo "$name" >"$HOME/Documents/$name.txt"
    mkdir -p "$HOME/Folder $name"
    printf '[Desktop Entry]\nType=Application\nName=App %s\nExec=true\n' "$name" \
        >"$XDG_DATA_HOME/applications/app-$name.desktop"
done
favorites PeloraFavoriteBookmarks "$HOME"/Documents/{Alpha,Beta,Gamma}.txt
favorites PeloraFavoriteFolders "$HOME"/Folder\ {Alpha,Beta,Gamma}
favorites PeloraFavoriteApps "$XDG_DATA_HOME"/applications/app-{Alpha,Beta,Gamma}.desktop

e2eStartDisplay
startPelora
check "the strip at its default place" [ "$(geometry "$strip")" = "1396 330 32 240" ]
states=$(xprop -id "$strip" _NET_WM_STATE _NET_WM_DESKTOP WM_HINTS)
for want in SKIP_TASKBAR SKIP_PAGER STATE_ABOVE 4294967295 'input focus: False'; do
    grep -q "$want" <<<"$states" || fail "the strip's window lacks $want: $states"
done
shot strip-1

# --- Every button opens its menu beside it, its top at the button's centre -----------------
for module in applications folders documents clipboard windows; do
    if openMenuAt "$module"; then
        read -r x y w h <<<"$(settled "$(menuWindows | head -n1)")"
        check "the $module button opens its menu beside it ($x $y $w $h)" \
            [ "$y" -eq $((330 + ${buttonAt[$module]})) -a "$x" -le 1392 -a $((x + w)) -ge 1392 ]
    else
        fail "the $module button opens no menu"
    fi
    closeMenus || fail "the $module menu stays after Escape"
done

# --- Several favorites of each kind, newest first ----------------------------------------
inOrder() { menuTitles "$1" | grep -xF -f <(printf '%s\n' "${@:2}") | paste -sd'|'; }
newestFirst() { [ "$(inOrder "$1" "$2"{Gamma,Beta,Alpha}"$3")" = "$2Gamma$3|$2Beta$3|$2Alpha$3" ]; }
check "three document favorites, newest first" newestFirst documents "" .txt
check "three folder favorites, newest first" newestFirst folders "Folder " ""
check "three application favorites, newest first" newestFirst applications "App " ""
recentListed() { cmd menu documents --json | grep -qF '"Notes.txt"'; }
waitFor 100 recentListed || fail "the recent document is not listed"

# --- Chosen with the keyboard: opened by the default handler, kept in the history ---------
# Down to the entry among the enabled top-level ones (Right then opens a submenu's first).
stepsTo() { menuTitles "$1" | grep -nxF "$2" | cut -d: -f1 | head -n1; }
storedPath() { cmd defaults read "$1" 2>/dev/null | grep -q "$(printf %s "$2" | od -An -tx1 | tr -d ' \n')"; }
choose() { # module, title, extra keys, path, history key
    local n
    n=$(stepsTo "$1" "$2")
    : >"$opened"
    closeMenus && openMenuAt "$1" && chooseWithKeys $(printf 'Down %.0s' $(seq "${n:-1}")) ${3:-} Return
    waitFor 50 grep -qsx "$4" "$opened" && pass "$2 opened by its default handler" ||
        fail "$2 not opened: $(cat "$opened" 2>/dev/null)"
    waitFor 50 storedPath "$5" "$4" && pass "$2 kept in $5" || fail "$2 not in $5"
}
choose documents Editor Right "$recent" PeloraRecentDocumentsHistory
choose documents Beta.txt "" "$HOME/Documents/Beta.txt" PeloraRecentDocumentsHistory
choose folders "Folder Alpha" "" "$HOME/Folder Alpha" PeloraRecentFoldersHistory
: >"$opened"
closeMenus && openMenuAt documents && chooseWithKeys g a Return
check "typing ga then Return opens Gamma" waitFor 50 grep -qsx "$HOME/Documents/Gamma.txt" "$opened"
closeMenus

# --- The favorites editor: a document, then a folder, through the open panel ---------------
editSteps=$(menuTitles documents | grep -n '^Edit Favorites' | cut -d: -f1)
openMenuAt documents && chooseWithKeys $(printf 'Down %.0s' $(seq "${editSteps:-1}")) Return
if editor=$(waitWindow "Edit Favorites"); then
    read -r ex ey ew eh <<<"$(settled "$editor")"
    xprop -id "$editor" _NET_WM_STATE | grep -q ABOVE || fail "the editor is not kept above"
    addThroughPanel() { # path
        local before panel
        before=$(windowsOf | sort)
        xdotool mousemove $((ex + 32)) $((ey + eh - 27)) click 1 # the add button
        newWindow() { panel=$(comm -13 <(echo "$before") <(windowsOf | sort) | head -n1); [ -n "$panel" ]; }
        waitFor 50 newWindow || { fail "no panel from the add button"; return; }
        settled "$panel" >/dev/null
        focus "$panel"
        xdotool type --delay 15 "$1" # Qt's own dialog starts in its file-name field
        xdotool key --clearmodifiers Return
        panelGone() { ! xwininfo -id "$panel" 2>/dev/null | grep -q IsViewable; }
        waitFor 20 panelGone || xdotool key --clearmodifiers Return # a completion took the first
        waitFor 30 panelGone || fail "the panel stays after Return"
    }
    echo delta >"$HOME/Documents/Delta.txt"
    addThroughPanel "$HOME/Documents/Delta.txt"
    fourInOrder() { [ "$(inOrder documents {Delta,Gamma,Beta,Alpha}.txt)" = \
        "Delta.txt|Gamma.txt|Beta.txt|Alpha.txt" ]; }
    check "the added document is the newest of four favorites" waitFor 30 fourInOrder
    mkdir -p "$HOME/Projects/Inner"
    addThroughPanel "$HOME/Projects" # a folder chosen in the panel is added, not entered
    folderAdded() { menuTitles folders | grep -qx Projects; }
    check "the folder became a folder favorite" waitFor 30 folderAdded
    shot strip-2-editor
    focus "$editor"
    xdotool mousemove $((ex + 100)) $((ey + 78)) click 1 # the newest favorite, the folder
    xdotool key --clearmodifiers Delete
    folderRemoved() { ! menuTitles folders | grep -qx Projects; }
    check "Delete removes the selected favorite" waitFor 30 folderRemoved
    xdotool key --clearmodifiers Return
    check "Return closes the editor" waitFor 30 windowGone "Edit Favorites"
else
    fail "the edit item opened no editor"
fi

# --- The settings button (outliving the last window is the program script's) --------------
pressButton settings
check "the settings button opens the settings" waitWindow General
wmctrl -i -c "$(windowNamed General)"
waitFor 50 windowGone General || fail "the settings window stays open"

# --- A drag by the handle, stored and found after a restart ------------------------------
xdotool mousemove 1412 349 mousedown 1
for step in 5 15 40 80 160 240 300; do xdotool mousemove $((1412 - step)) $((349 - step / 3)); done
# The button stays down until the window manager has taken the drag (nudged: a late one
# sees the pointer move again).
followsThePointer() {
    xdotool mousemove 1113 249 mousemove 1112 249
    [ "$(geometry "$strip")" = "1096 230 32 240" ]
}
waitFor 100 followsThePointer || fail "the window manager did not take the drag"
xdotool mouseup 1
xdotool mousemove 1112 278 mousedown 1 mousemove 1000 300 mouseup 1 # on a button: no move
check "the strip moved by its handle only" [ "$(settled "$strip")" = "1096 230 32 240" ]
expectQuit "pelora quit" cmd quit
check "the frame stored at quitting" storedIs PeloraStripWindowFrame 'string "{{1096, 430}, {32, 240}}"'
startPelora
check "after a restart the strip is where it was left" [ "$(geometry "$strip")" = "1096 230 32 240" ]

# --- The orientation switched from outside, while it runs -------------------------------
cmd defaults write stripOrientation horizontal
reshaped() { [ "$(geometry "$strip")" = "1096 230 240 32" ] && storedIs PeloraStripWindowFrame "$(frameOf "$strip")"; }
check "horizontal: reshaped in place and stored" waitFor 50 reshaped
shot strip-3-horizontal

# --- Against the right edge, switched there and back: it stays against the edge ----------
shapeIs() { [ "$(geometry "$strip")" = "$1" ]; }
cmd defaults write stripOrientation vertical
waitFor 50 shapeIs "1096 230 32 240" || fail "vertical again: not in place"
xdotool windowmove "$strip" 1408 330
waitFor 50 shapeIs "1408 330 32 240" || fail "the strip did not move to the edge"
cmd defaults write stripOrientation horizontal
check "horizontal at the edge: moved in to fit" waitFor 50 shapeIs "1200 330 240 32"
cmd defaults write stripOrientation vertical
atEdge() { shapeIs "1408 330 32 240" && storedIs PeloraStripWindowFrame 'string "{{1408, 330}, {32, 240}}"'; }
check "vertical again: back against the edge, and stored" waitFor 50 atEdge
e2eFinish
