#!/usr/bin/env bash
# The update check against a feed served on a loopback address by the test, named by
# PeloraUpdateFeedURL: a newer version opens the update window, whose OK opens the download
# address; the same version says it is up to date; a 404 and garbage say it could not check.
# The windows it shows, About and the licence are dialogs that ask the window manager for
# neither minimise nor maximise; the licence closes on Escape and Ctrl+W. A copy
# outside the Applications folders explains so in a dialog as well.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
e2eInit "$@" Xvfb openbox xdotool xwininfo xprop import xdg-mime

recorder "$work/pages" %u x-scheme-handler/http x-scheme-handler/https # the browser
pagesOpened() { [ "$(cat "$work/pages" 2>/dev/null | grep -c "$1")" -ge "${2:-1}" ]; }

# --- The feed: a web server on 127.0.0.1, on a port of its own choosing --------------------
feed="$work/feed" && mkdir -p "$feed"
spawn "$python" -c 'import http.server, os, sys
root, portFile, log = sys.argv[1:]
class Feed(http.server.SimpleHTTPRequestHandler):
    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=root, **kwargs)
    def log_message(self, format, *args):
        with open(log, "a") as f:
            f.write("%s %s\n" % (self.path, args[1] if len(args) > 1 else ""))
server = http.server.HTTPServer(("127.0.0.1", 0), Feed)
with open(portFile + ".new", "w") as f:
    f.write(str(server.server_port))
os.rename(portFile + ".new", portFile)
server.serve_forever()' "$feed" "$work/port" "$work/requests"
waitFor 100 test -s "$work/port" || { echo "FAIL: no feed server"; exit 1; }
address="http://127.0.0.1:$(cat "$work/port")"
serve() { printf '%s' "$1" >"$feed/new.xml" && mv "$feed/new.xml" "$feed/Pelora.xml"; }
requested() { [ "$(wc -l <"$work/requests" 2>/dev/null)" -ge "$1" ]; }

version=$("$python" -c 'import json, sys; print(json.load(open(sys.argv[1]))["CFBundleShortVersionString"])' \
    "$HOME/Applications/Pelora.app/Contents/Info.json")
cmd defaults write PeloraAutoCheckForUpdates -bool false
cmd defaults write PeloraUpdateFeedURL "$address/Pelora.xml"
check "pelora defaults read shows the feed" storedIs PeloraUpdateFeedURL "string \"$address/Pelora.xml\""

e2eStartDisplay
startPelora

# A dialog that asks the window manager for a close button only: its type first a dialog, its
# Motif hints without minimise or maximise (functions 0x8, 0x10; decorations 0x20, 0x40).
# openbox keeps a dialog's minimise button whatever the hints say; GNOME and KDE follow them.
dialogLike() {
    local type hints functions decorations
    type=$(xprop -id "$1" _NET_WM_WINDOW_TYPE 2>/dev/null)
    hints=$(xprop -id "$1" _MOTIF_WM_HINTS 2>/dev/null | sed 's/.*= //')
    IFS=', ' read -r _ functions decorations _ <<<"$hints"
    [[ $type == *"= _NET_WM_WINDOW_TYPE_DIALOG"* ]] && [ -n "$decorations" ] &&
        (((functions & 0x18) == 0 && (decorations & 0x60) == 0))
}
waitAlert() { waitFor "${1:-50}" eval 'alertWindow >/dev/null' && alertWindow; }
wideEnough() { local w && read -r _ _ w _ <<<"$(settled "$1")" && ((w >= 380)); }

# --- A newer version: the update window; OK opens the download address --------------------
serve "<version><lastversion>99.1</lastversion><downloadurl>$address/download/</downloadurl>
<titletext><english>Pelora 99.1 is out</english></titletext>
<infotext><english>Menus that fit, and dialogs that look finished.</english></infotext></version>"
cmd check-updates
if window=$(waitWindow "Pelora 99.1 is out"); then
    pass "a newer version opens the update window"
    check "the update window is a dialog without minimise or maximise" waitFor 50 dialogLike "$window"
    settled "$window" >/dev/null
    shot updates-1-window
    focus "$window" && xdotool key --clearmodifiers Return
    check "OK opens the download address" waitFor 50 pagesOpened "^$address/download/\$"
    check "OK closes the update window" waitFor 50 windowGone "Pelora 99.1 is out"
else
    fail "a newer version opened no update window"
fi

# --- The same version: up to date, one button that opens nothing ---------------------------
serve "<version><lastversion>$version</lastversion></version>"
cmd check-updates
if alert=$(waitAlert); then
    check "up to date: an alert that is a dialog" waitFor 50 dialogLike "$alert"
    check "the alert is wide enough to read in a few lines" wideEnough "$alert"
    shot updates-2-up-to-date
    focus "$alert" && xdotool key --clearmodifiers Return
    check "up to date: OK closes the alert" waitFor 50 noAlert
    check "up to date: no page opened" [ "$(wc -l <"$work/pages")" -eq 1 ]
else
    fail "the same version shows no alert"
fi
check "the same version was asked for" requested 2

# --- A 404 and garbage: could not check; its first button opens the home page --------------
for answer in missing garbage; do
    if [ "$answer" = missing ]; then rm -f "$feed/Pelora.xml"; else serve $'\x01\x02 no version here'; fi
    homes=$(grep -c '^https://.*/$' "$work/pages")
    cmd check-updates
    if alert=$(waitAlert); then
        check "$answer: the could-not-check alert is a dialog" waitFor 50 dialogLike "$alert"
        [ "$answer" = missing ] && shot updates-3-could-not-check
        focus "$alert" && xdotool key --clearmodifiers Return
        check "$answer: its first button opens the home page" waitFor 50 pagesOpened '^https://.*/$' $((homes + 1))
        check "$answer: the alert closes" waitFor 50 noAlert
    else
        fail "$answer: no alert"
    fi
done
check "the missing feed answered 404" grep -q " 404" "$work/requests"

# --- About and the licence: dialogs; the licence closes on Escape and Ctrl+W ---------------
cmd about
if about=$(waitWindow "About Pelora"); then
    check "About is a dialog without minimise or maximise" waitFor 50 dialogLike "$about"
    focus "$about" && xdotool key --clearmodifiers Escape
    check "Escape closes About" waitFor 50 windowGone "About Pelora"
else
    fail "no About window"
fi
cmd settings && settings=$(waitWindow General)
for key in Escape ctrl+w; do
    closeMenus
    focus "$settings"
    xdotool key --clearmodifiers alt+h
    waitFor 50 menusOpen && chooseWithKeys Down Down Return || fail "no Help menu"
    if licence=$(waitWindow "License Agreement"); then
        check "the licence is a dialog without minimise or maximise" waitFor 50 dialogLike "$licence"
        focus "$licence" && xdotool key --clearmodifiers "$key"
        check "$key closes the licence" waitFor 50 windowGone "License Agreement"
    else
        fail "no licence window"
    fi
done
expectQuit "pelora quit" cmd quit

# --- A copy outside the Applications folders explains itself in a dialog ------------------
mkdir -p "$work/Downloads" && cp -a "$HOME/Applications/Pelora.app" "$work/Downloads/"
env "$work/Downloads/Pelora.app/Contents/MacOS/pelora" >>"$work/pelora.log" 2>&1 &
peloraPid=$!
started+=($peloraPid)
if alert=$(waitAlert 150); then
    check "the installation alert is a dialog" waitFor 50 dialogLike "$alert"
    check "the installation alert is wide enough" wideEnough "$alert"
    shot updates-4-installation-alert
    expectQuit "its OK" eval 'focus "$alert" && xdotool key --clearmodifiers Return'
else
    fail "a copy outside the Applications folders shows no alert"
fi
e2eFinish "$work/helpers.log"
