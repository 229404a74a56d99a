#!/usr/bin/env bash
# Pelora under KWin (kwin_wayland, virtual backend, XWayland on) with two Wayland-native GTK
# windows and an X11 one whose ids name installed desktop entries. Through KWin's window list,
# granted to Pelora's launcher entry: all three are listed by their entries' names, natively and
# through XWayland; choosing one in the windows menu activates it and makes it the most recent
# application. Natively KWin keeps the strip above and out of the task bar; without the grant the
# X11 window is listed still.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/lib.sh"
tools=(kwin_wayland Xwayland xdotool import /usr/bin/python3 dbus-daemon gdbus)
needs kwin_wayland
privateXDisplays "$here/test_kde.sh" "$@"
e2eInit "$@" "${tools[@]}"
/usr/bin/python3 -c 'import gi; gi.require_version("Gtk", "3.0")' 2>/dev/null ||
    { echo "SKIP: GTK 3 for Python is missing"; exit 77; }
apps="$XDG_DATA_HOME/applications"
printf '[Desktop Entry]\nType=Application\nName=Pelora\nExec="%s"\n%s\n' "$pelora" \
    "X-KDE-Wayland-Interfaces=org_kde_plasma_window_management" >"$apps/pelora.desktop"
for name in Tool Other Legacy; do
    printf '[Desktop Entry]\nType=Application\nName=Example %s\nExec=true\n' "$name" \
        >"$apps/org.example.$name.desktop"
done
export XDG_CURRENT_DESKTOP=KDE
export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"
dbus-daemon --session --nofork --address="$DBUS_SESSION_BUS_ADDRESS" >"$work/dbus.log" 2>&1 &
started+=($!)
waitFor 100 test -S "$XDG_RUNTIME_DIR/bus" || { echo "FAIL: no session bus"; exit 1; }

# kwin_wayland carries a file capability, which a container may refuse to honour at exec: a
# copy has none.
cp "$(command -v kwin_wayland)" "$work/kwin_wayland"
# KWin runs as long as the program it starts; that program tells XWayland's display and its own
# process, for the cleanup (KWin leaves it behind).
printf '#!/bin/sh\necho $$ >"%s"\nprintf %%s "$DISPLAY" >"%s"\nexec sleep 600\n' \
    "$work/session.pid" "$work/xdisplay.new" >"$work/session.sh"
chmod +x "$work/session.sh"
"$work/kwin_wayland" --virtual --xwayland --socket pelora-kde --width 1280 --height 800 \
    "$work/session.sh" >"$work/kwin.log" 2>&1 &
kwinPid=$!
started+=($kwinPid)
kwinSettled() { [ -s "$work/xdisplay.new" ] || ! kill -0 "$kwinPid" 2>/dev/null; }
waitFor 300 kwinSettled
[ -s "$work/session.pid" ] && started=("$(cat "$work/session.pid")" "${started[@]}")
if ! [ -s "$work/xdisplay.new" ]; then
    grep -q "X11 connection socket" "$work/kwin.log" &&
        { echo "SKIP: no free X display for XWayland"; exit 77; }
    echo "FAIL: KWin did not start"
    cat "$work/kwin.log"
    exit 1
fi
export WAYLAND_DISPLAY=pelora-kde DISPLAY
DISPLAY=$(cat "$work/xdisplay.new")

# A window that writes "active" or "inactive" to its log each time KWin changes that.
window() { # name [GDK backend]
    GDK_BACKEND=${2:-wayland} /usr/bin/python3 -c '
import sys, gi
gi.require_version("Gtk", "3.0")
from gi.repository import GLib
GLib.set_prgname(sys.argv[1]) # before GTK starts: it names the X11 window by it
from gi.repository import Gtk
w = Gtk.Window(title=sys.argv[1])
w.connect("notify::is-active",
          lambda w, _: print("active" if w.is_active() else "inactive", flush=True))
w.show_all()
Gtk.main()' "org.example.$1" >"$work/$1.log" 2>&1 &
    started+=($!)
}
isActive() { [ "$(tail -n1 "$work/$1.log")" = active ]; }
titles() { menuTitles "$1" | paste -sd'|'; }
listed() { [[ "$(titles windows 2>/dev/null)" == *"$1"* ]]; }
# What KWin holds of Pelora's windows, as "probeN caption keepAbove skipTaskbar" in its log.
probes=0
kwinSays() {
    local id && probes=$((probes + 1))
    printf '%s\n' "workspace.clientList().forEach(function (c) { if (c.pid === $peloraPid)" \
        "print('probe$probes', c.caption, c.keepAbove, c.skipTaskbar); });" >"$work/probe.js"
    id=$(gdbus call --session -d org.kde.KWin -o /Scripting -m org.kde.kwin.Scripting.loadScript \
        "$work/probe.js" "probe$probes" | tr -dc 0-9)
    gdbus call --session -d org.kde.KWin -o "/$id" -m org.kde.kwin.Script.run >/dev/null
    waitFor 20 grep -q "probe$probes $1" "$work/kwin.log"
}

window Tool
waitFor 100 isActive Tool || fail "the first window never became active"
window Other
waitFor 100 isActive Other || fail "the second window never became active"
window Legacy x11
waitFor 100 isActive Legacy || fail "the X11 window never became active"

for mode in native xwayland ungranted; do
    platform=$([ "$mode" = xwayland ] || echo QT_QPA_PLATFORM=wayland)
    [ "$mode" = ungranted ] && sed -i /X-KDE-Wayland-Interfaces/d "$apps/pelora.desktop"
    env $platform "$pelora" >>"$work/pelora.log" 2>&1 &
    peloraPid=$! && started+=($peloraPid)
    want=$([ "$mode" = ungranted ] && echo "Legacy|Hide" || echo "Legacy|Example Other|Example Tool")
    waitFor 150 listed "Example $want" && pass "$mode: the windows listed by their entries' names" ||
        fail "$mode: the windows menu holds $(titles windows)"
    if [ "$mode" = native ]; then
        waitFor 50 kwinSays "Pelora Strip true true" &&
            pass "$mode: the strip kept above and out of the task bar" ||
            fail "$mode: KWin holds $(grep "probe$probes" "$work/kwin.log" | tail -n2)"
    fi
    if [ "$mode" = xwayland ]; then
        # Example Tool is the third entry.
        cmd popup windows || fail "pelora popup windows"
        waitFor 100 menusOpen || fail "no menu window"
        chooseWithKeys Down Down Down Return
        waitFor 100 isActive Tool && pass "choosing a window activates it" ||
            fail "the chosen window is not active: $(tail -n3 "$work/Tool.log")"
        waitFor 50 eval '[[ "$(titles applications)" == "Example Tool|"* ]]' &&
            pass "the activated application is the most recent" ||
            fail "the recent applications are $(titles applications)"
    fi
    cmd quit
    wait "$peloraPid" 2>/dev/null
done
e2eFinish "$work/kwin.log"
