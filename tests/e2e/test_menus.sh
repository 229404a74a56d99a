#!/usr/bin/env bash
# The documents and folders menus of the installed strip on a private X display: a press on
# each button pops its menu up beside the button, an entry chosen with the keyboard is opened
# by the user's default handler (a test desktop entry that records what it was asked to open)
# and recorded in the program's history.
# Usage: test_menus.sh <bundle dir> <artifact dir>. Exit 77 when a needed tool is missing.
set -uo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
e2eInit "$@" Xvfb openbox xdotool xwininfo xprop import xdg-mime /usr/bin/python3
e2eInstall
python=/usr/bin/python3

# --- A recorder as the default handler of text files and folders -----------------------
opened="$work/opened.txt"
recorder="$work/recorder.sh"
cat >"$recorder" <<EOF
#!/bin/sh
for item in "\$@"; do printf '%s\n' "\$item" >>"$opened"; done
EOF
chmod +x "$recorder"
mkdir -p "$XDG_DATA_HOME/applications"
cat >"$XDG_DATA_HOME/applications/pelora-recorder.desktop" <<EOF
[Desktop Entry]
Type=Application
Name=Recorder
Exec=$recorder %f
MimeType=text/plain;inode/directory;
NoDisplay=true
EOF
xdg-mime default pelora-recorder.desktop text/plain inode/directory
for type in text/plain inode/directory; do
    [ "$(xdg-mime query default "$type")" = pelora-recorder.desktop ] ||
        fail "the recorder is not the default handler of $type"
done

# --- What the desktop reports as used lately: one document, one folder ------------------
document="$HOME/Documents/Notes.txt"
folder="$HOME/Projects"
mkdir -p "$HOME/Documents" "$folder"
echo "notes" >"$document"
now=$(date -u +%Y-%m-%dT%H:%M:%SZ)
bookmark() { # path, MIME type
    cat <<EOF
  <bookmark href="file://$1" added="$now" modified="$now" visited="$now">
    <info>
      <metadata owner="http://freedesktop.org">
        <mime:mime-type type="$2"/>
        <bookmark:applications>
          <bookmark:application name="Editor" exec="&apos;editor %u&apos;" modified="$now" count="1"/>
        </bookmark:applications>
      </metadata>
    </info>
  </bookmark>
EOF
}
{
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo '<xbel version="1.0" xmlns:bookmark="http://www.freedesktop.org/standards/desktop-bookmarks" xmlns:mime="http://www.freedesktop.org/standards/shared-mime-info">'
    bookmark "$document" text/plain
    bookmark "$folder" inode/directory
    echo '</xbel>'
} >"$XDG_DATA_HOME/recently-used.xbel"

e2eStartDisplay
startPelora
# The strip's default place: 1396 330 32 240; the buttons' centres lie 16 in from its left
# edge, the folders button 80 and the documents button 112 below its top.
expectGeometry "strip" "$strip" "1396 330 32 240"
# The first gathering of the recent items.
gathered() { DISPLAY= timeout 10 "$pelora" menu documents --json 2>/dev/null | grep -qF Notes.txt; }
waitFor 100 gathered || fail "the recent document was not gathered"

# The one visible window of the program besides the strip, or nothing.
menuWindow() { windowsOf "$peloraPid" | grep -vx "$strip" | head -n1; }
menuShown() { [ -n "$(menuWindow)" ]; }
menuGone() { [ -z "$(menuWindow)" ]; }
menusOpen() { (($(windowsOf "$peloraPid" | grep -vx "$strip" | wc -l) >= $1)); }

# Presses a button and checks the menu that comes up: its top at the button's centre, its
# top-left corner placed 4 left of the strip and pulled back onto the screen.
pressAndCheck() { # what, button y, screenshot name
    local menu got x y w h
    xdotool mousemove 1412 "$2" click 1
    if ! waitFor 50 menuShown; then
        fail "$1: no menu appeared"
        return 1
    fi
    menu=$(menuWindow)
    got=$(settledGeometry "$menu")
    shot "$3"
    read -r x y w h <<<"$got"
    if ((y == $2 && x <= 1392 && x + w >= 1392 && x + w <= 1440 && w > 100 && h > 80)); then
        pass "$1 menu beside its button: $got"
    else
        fail "$1 menu at $got, expected its top at $2 beside the strip"
    fi
}

# The JSON history stored under a defaults key, as a list of paths.
storedPaths() {
    defaultsTool read "$1" 2>/dev/null | "$python" -c '
import json, re, sys
m = re.match(r"data <([0-9a-f]*)>", sys.stdin.read().strip())
print("\n".join(r["path"] for r in json.loads(bytes.fromhex(m.group(1)))) if m else "")'
}
recorded() { storedPaths "$1" | grep -qx "$2"; } # key, path


# --- Documents: the application's submenu, then its document ----------------------------
if pressAndCheck documents 442 menus-1-documents; then
    pressUntilAnswered "$(menuWindow)" Down || fail "the menu does not answer the keyboard"
    xdotool key Right
    waitFor 50 menusOpen 2 || fail "the application's submenu did not open"
    shot menus-2-documents-submenu
    xdotool key Return
    if waitFor 50 grep -qsx "$document" "$opened"; then
        pass "the document was opened by its default handler"
    else
        fail "the document was not opened: $(cat "$opened" 2>/dev/null)"
    fi
    if waitFor 50 menuGone; then
        pass "the documents menu closed"
    else
        fail "the documents menu is still up"
    fi
    waitFor 50 recorded PeloraRecentDocumentsHistory "$document" && pass "the document was recorded" ||
        fail "not recorded: $(defaultsTool read PeloraRecentDocumentsHistory 2>&1)"
fi

# --- Folders: a flat list, its first entry ----------------------------------------------
: >"$opened"
if pressAndCheck folders 410 menus-3-folders; then
    pressUntilAnswered "$(menuWindow)" Down || fail "the menu does not answer the keyboard"
    xdotool key Return
    if waitFor 50 grep -qsx "$folder" "$opened"; then
        pass "the folder was opened by its default handler"
    else
        fail "the folder was not opened: $(cat "$opened" 2>/dev/null)"
    fi
    waitFor 50 recorded PeloraRecentFoldersHistory "$folder" && pass "the folder was recorded" ||
        fail "not recorded: $(defaultsTool read PeloraRecentFoldersHistory 2>&1)"
fi

# --- Every press builds a new menu; Escape closes it without opening anything -------------
: >"$opened"
if pressAndCheck "documents again" 442 menus-4-documents-again; then
    # Again while the menu stays: one that has just appeared may not hold the keyboard yet.
    escapeMenu() { menuGone || { xdotool key Escape && false; }; }
    waitFor 30 escapeMenu && pass "Escape closed the menu" || fail "the menu stayed after Escape"
    # Anything opened by mistake shows up within a moment.
    if waitFor 5 test -s "$opened"; then fail "opened: $(cat "$opened")"; else pass "nothing opened on Escape"; fi
fi

stopPelora
e2eFinish "$work/openbox.log"
