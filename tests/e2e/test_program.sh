#!/usr/bin/env bash
# The whole program on a private X display with openbox and a tray host (trayer): one instance
# that a second start hands over to; its command line; the tray icon embeds once a tray appears;
# every tray entry and every command of the settings window's menus reaches what it should; it
# outlives its last window; an update check at the build's reserved example host says it could
# not check; Quit from the tray, from the menu and SIGTERM end it with status 0, the place stored.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
e2eInit "$@" Xvfb openbox trayer xdotool xwininfo xprop import convert xdg-mime wmctrl

recorder "$work/pages" %u x-scheme-handler/https # the browser: the web pages opened
pagesOpened() { [ "$(grep -cs "$1" "$work/pages")" -ge "${2:-1}" ]; }

# --- One instance, its command line; no tray yet ----------------------------------------
e2eStartDisplay
startPelora
check "the strip runs alone without a tray" [ "$(windowsOf | wc -l)" -eq 1 ]
check "a second start hands over and leaves" timeout 20 "$pelora"
check "one process" [ "$(pgrep -c -f -x "$pelora")" -eq 1 ]
said() { cmd "$1" | grep -q "$2"; } # option, the first line's pattern
check "--version names the program and its version" said --version '^Pelora [0-9]'
check "--help shows the usage" said --help '^Usage: pelora'
status=0 && cmd popup tasks 2>/dev/null || status=$?
check "a module without a button is refused: status 2" [ "$status" -eq 2 ]
place=$(geometry "$strip") && read -r sx sy _ <<<"$place"
cmd popup documents && waitFor 50 menusOpen && read -r _ my _ <<<"$(geometry "$(menuWindows)")"
check "pelora popup opens the menu at its button" [ "${my:-0}" -eq $((sy + 112)) ]
cmd popup documents && cmd popup folders
check "pelora popup again leaves one menu" waitFor 50 eval '[ "$(menuWindows | wc -l)" -eq 1 ]'
closeMenus
cmd defaults write PeloraKeyboardShortcuts -dict documents -string Ctrl+Alt+D
# Bound once the running Pelora has seen the write.
shortcutOpens() { xdotool key --clearmodifiers ctrl+alt+d && waitFor 10 menusOpen; }
check "a shortcut written with the defaults tool opens its menu" waitFor 5 shortcutOpens
xdotool key --clearmodifiers ctrl+alt+d
check "the same shortcut closes it" waitFor 50 eval '! menusOpen'
keyMs=$(menuDelay xdotool key --clearmodifiers ctrl+alt+d) && closeMenus
popupMs=$(menuDelay cmd popup documents) && closeMenus
echo "timing (X11): key press to menu ${keyMs:-?} ms, pelora popup to menu ${popupMs:-?} ms"
cmd strip hide
check "pelora strip hide hides the strip and stores it" waitFor 50 eval '! stripWindow >/dev/null && storedIs PeloraStripVisible "bool false"'
xdotool mousemove 500 400
cmd popup folders && waitFor 50 menusOpen && read -r mx my _ <<<"$(geometry "$(menuWindows)")"
check "with the strip hidden the menu opens at the pointer" \
    [ "${mx:-0}" -ge 480 -a "$mx" -le 520 -a "${my:-0}" -ge 380 -a "$my" -le 420 ]
closeMenus
cmd strip toggle
check "pelora strip toggle brings it back" waitFor 50 stripWindow
strip=$(stripWindow)
check "where it was" [ "$(settled "$strip")" = "$place" ]
shot program-1-strip

# --- The tray appears: the icon embeds and draws its glyph --------------------------------
spawn trayer --edge top --align right --widthtype pixel --width 200 --height 32 \
    --SetDockType true --SetPartialStrut true
trayIcon() {
    local w x y width height
    for w in $(windowsOf); do
        read -r x y width height <<<"$(geometry "$w")"
        ((y >= 0 && y + height <= 32 && x >= 1240)) && echo "$w" && return 0
    done
    return 1
}
check "the icon embeds in a tray that appears later" waitFor 100 trayIcon
read -r ix iy iw ih <<<"$(settled "$(trayIcon)")"
glyph() { # dark pixels on trayer's light background
    import -window root -crop "${iw}x${ih}+${ix}+${iy}" "$work/icon.png"
    (($(convert "$work/icon.png" -colorspace gray -threshold 40% -format '%[fx:int(w*h*(1-mean))]' info:) >= 10))
}
check "the icon shows its glyph" waitFor 50 glyph
openTray() {
    closeMenus
    xdotool mousemove $((ix + iw / 2)) $((iy + ih / 2)) click 1
    waitFor 50 menusOpen && chooseWithKeys "$@"
}

# --- Every tray entry: five submenus, the settings, About, Quit ----------------------------
openTray Down && read -r _ my _ <<<"$(geometry "$(menuWindows)")"
check "a click opens the tray menu below the icon" [ "${my:-0}" -ge 28 -a "${my:-0}" -le 60 ]
shot program-2-tray
for entry in applications folders documents clipboard windows; do
    xdotool key Right
    check "the tray's $entry entry opens its submenu" waitFor 30 menusOpen 2
    xdotool key Left Down
done
xdotool key Return
settings=$(waitWindow General) && pass "the tray's settings entry opens the settings" ||
    fail "no settings window from the tray"
inFront() { [ "$(activeName)" = "$1" ]; }
check "the settings window is in front" waitFor 30 inFront General
openTray Up Up Return
check "the tray's About entry opens About" waitWindow "About Pelora"
xdotool key ctrl+w
check "Ctrl+W closes About" waitFor 50 windowGone "About Pelora"

# --- Tabs: the height fits the content, the top edge stays put ----------------------------
read -r gx gy gw gh <<<"$(settled "$settings")"
xdotool mousemove $((gx + gw / 2 + 40)) $((gy + 52)) click 1 # the Updates tab
resized() { read -r _ uy _ uh <<<"$(settled "$settings")" && [ "$uh" -ne "$gh" ]; }
check "the Updates tab fits the height" waitFor 50 resized
check "the top edge stays at $gy" [ "$uy" -eq "$gy" ]
check "the tab is stored" storedIs settingsSelectedTab "int 1"
xdotool mousemove $((gx + gw / 2 - 40)) $((gy + 52)) click 1
firstSize() { [ "$(settled "$settings")" = "$gx $gy $gw $gh" ]; }
check "General again at its first size" waitFor 50 firstSize

# --- Every command of the settings window's menus ------------------------------------------
# Alt and the menu's letter open it with its first entry active.
mainMenu() { # letter, keys
    closeMenus
    focus "$settings"
    xdotool key --clearmodifiers "alt+$1"
    waitFor 50 menusOpen && chooseWithKeys "${@:2}" || fail "no menu on alt+$1"
}
mainMenu p Return
check "About from the menu opens About" waitWindow "About Pelora"
mainMenu p Down Return
# The maker's site of this build is a reserved example host, which is never asked.
check "Check for Updates says it could not check" waitFor 50 alertWindow
shot program-3-update
focus "$(alertWindow)" && xdotool key Escape
check "Escape closes the alert" waitFor 50 noAlert
check "Escape ignores: no page opened" [ ! -s "$work/pages" ]
mainMenu h Return
check "Help opens the support page" waitFor 50 pagesOpened /support/
mainMenu h Down Return
check "Support opens the support page" waitFor 50 pagesOpened /support/ 2
mainMenu h Down Down Return
check "the licence opens from the Help menu" waitWindow "License Agreement"
focus "$(windowNamed "License Agreement")" && xdotool key Return # the default button closes it
check "the licence's close button closes it" waitFor 50 windowGone "License Agreement"
mainMenu h Up Return
check "the site entry opens the home page" waitFor 50 pagesOpened 'pelora.example.org/$'

# --- The last window closed: the program runs on; the tray's Quit ends it ------------------
wmctrl -i -c "$settings"
waitFor 50 windowGone General || fail "the settings window stays open"
focus "$(windowNamed "About Pelora")" && xdotool key ctrl+w
waitFor 50 windowGone "About Pelora" || fail "About stays open"
check "the program runs on with no window but the strip" waitFor 20 answers
frame=$(frameOf "$strip")
expectQuit "the tray's Quit" openTray Up Return
check "the strip's place stored at quitting" storedIs PeloraStripWindowFrame "$frame"

# --- The menu's Quit ----------------------------------------------------------------------
startPelora
cmd settings && settings=$(waitWindow General)
expectQuit "the menu's Quit" mainMenu p Down Down Down Return
check "the socket goes with the instance" [ ! -e "$XDG_RUNTIME_DIR/pelora.socket" ]
status=0 && cmd about 2>/dev/null || status=$?
check "a command without an instance: status 3" [ "$status" -eq 3 ]

# --- SIGTERM ends it like Quit ------------------------------------------------------------
startPelora
xdotool windowmove "$strip" 700 300
moved() { [ "$(geometry "$strip" | cut -d' ' -f1-2)" = "700 300" ]; }
waitFor 50 moved || fail "the strip did not move"
frame=$(frameOf "$strip")
# At once, before the defaults' own delayed write: the quit path stores the place.
expectQuit SIGTERM kill -TERM "$peloraPid"
check "the strip's place stored at SIGTERM" storedIs PeloraStripWindowFrame "$frame"
e2eFinish "$work/helpers.log"
