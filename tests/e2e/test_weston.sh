#!/usr/bin/env bash
# Pelora in a headless weston (desktop shell, pixman renderer, XWayland on), started with
# QT_QPA_PLATFORM=wayland as a session might set it: weston gives a native client no clipboard,
# so it runs through XWayland all the same. Its strip is mapped at its stored place and drawn at
# once (not in the corner, blank until clicked), and the place stays stored. As root it runs in
# private mount and network namespaces, so that XWayland's display cannot collide with others'.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/lib.sh"
tools=(weston weston-debug weston-screenshooter Xwayland xdotool convert)
needs weston
if [ "$(id -u)" -eq 0 ] && [ -z "${PELORA_WESTON_NAMESPACE:-}" ]; then
    needs unshare
    exec unshare -m -n --propagation private env PELORA_WESTON_NAMESPACE=1 bash -c '
        mount -t tmpfs -o mode=1777 tmpfs /tmp/.X11-unix ||
            { echo "SKIP: no private folder for X sockets"; exit 77; }
        exec bash "$@"' _ "$here/test_weston.sh" "$@"
fi
e2eInit "$@" "${tools[@]}"
weston --backend=headless-backend.so --use-pixman --xwayland --socket=pelora-weston \
    --width=800 --height=600 --debug >"$work/weston.log" 2>&1 &
started+=($!)
xListening() { grep -o 'xserver listening on display :[0-9]*' "$work/weston.log"; }
waitFor 100 xListening >/dev/null || { echo "FAIL: no weston"; cat "$work/weston.log"; exit 1; }
export WAYLAND_DISPLAY=pelora-weston DISPLAY=:$(xListening | cut -d: -f2)
# weston's window manager tells where it maps each window.
spawn weston-debug xwm-wm-x11

cmd defaults write PeloraStripWindowFrame -string "{{300, 200}, {32, 240}}" # top-left 300,160
env QT_QPA_PLATFORM=wayland "$pelora" >>"$work/pelora.log" 2>&1 &
peloraPid=$! && started+=($peloraPid)
waitFor 150 answers || fail "the program does not answer"
check "run through XWayland" waitFor 100 eval '[ -n "$(windowsOf)" ]'
check "the strip mapped at its stored place" \
    waitFor 50 grep -q 'XCB_MAP_REQUEST .* @ 300,160)' "$work/helpers.log"
# The strip's light face, not the grey desktop behind it, at its left edge.
drawn() {
    rm -f "$work"/wayland-screenshot-*.png
    (cd "$work" && weston-screenshooter) >/dev/null 2>&1
    [ "$(convert "$work"/wayland-screenshot-*.png -crop 1x1+303+290 -format '%[fx:int(100*lightness)]' info:)" -ge 85 ]
}
check "the strip drawn at once" waitFor 50 drawn
cp "$work"/wayland-screenshot-*.png "$artifacts/strip.png" 2>/dev/null
expectQuit "pelora quit" cmd quit
stored=$(cmd defaults read PeloraStripWindowFrame)
[[ "$stored" == *"{{300, 200}"* ]] && pass "the stored place kept" || fail "the stored place is $stored"
e2eFinish "$work/weston.log" "$work/helpers.log"
