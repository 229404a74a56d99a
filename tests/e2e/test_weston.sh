#!/usr/bin/env bash
# Pelora in a headless weston with XWayland, started with QT_QPA_PLATFORM=wayland as a session
# might set it: weston gives a native client no clipboard, so it runs through XWayland all the
# same. Its strip is mapped at its stored place and drawn at once, and the place stays stored.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/lib.sh"
tools=(weston weston-debug weston-screenshooter Xwayland xdotool convert)
needs weston
privateXDisplays "$here/test_weston.sh" "$@"
e2eInit "$@" "${tools[@]}"
weston --backend=headless-backend.so --use-pixman --xwayland --socket=pelora-weston \
    --width=800 --height=600 --debug >"$work/weston.log" 2>&1 &
started+=($!)
xListening() { grep -o 'xserver listening on display :[0-9]*' "$work/weston.log"; }
waitFor 100 xListening >/dev/null || { echo "FAIL: no weston"; cat "$work/weston.log"; exit 1; }
export WAYLAND_DISPLAY=pelora-weston DISPLAY=:$(xListening | cut -d: -f2)
spawn weston-debug xwm-wm-x11 # its window manager logs where it maps each window

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
