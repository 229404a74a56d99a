#!/usr/bin/env bash
# A favorite on a share that stops answering (FUSE answering nothing after INIT, in a private
# mount namespace): the Documents button, menu and commands answer; it is listed as stored.
if [ -z "${PELORA_E2E_PRIVATE_MOUNTS:-}" ]; then
    [ "$(id -u)" -eq 0 ] && [ -c /dev/fuse ] && unshare --mount true 2>/dev/null ||
        { echo "SKIP: a FUSE mount of our own needs root, /dev/fuse and a mount namespace"; exit 77; }
    PELORA_E2E_PRIVATE_MOUNTS=1 exec unshare --mount --propagation private bash "$0" "$@"
fi
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
e2eInit "$@" Xvfb openbox xdotool xwininfo

share="$work/share" && mkdir -p "$share"
spawn "$python" "$(dirname "${BASH_SOURCE[0]}")/helpers/silent_fuse.py" "$share" "$work/ready"
waitFor 100 test -e "$work/ready" || { cat "$work/helpers.log"; echo "SKIP: FUSE cannot mount here"; exit 77; }
# The favorite on the share is the newer; its identity is made up, for asking would hang.
echo local >"$HOME/Documents/Local.txt"
cmd defaults write PeloraFavoriteBookmarks -array -data "$(reference "$HOME/Documents/Local.txt")" \
    -data "$(reference "$share/Report.odt" 1 2)"
cmd defaults write PeloraFavoriteBookmarksAddedAt -array -float 700000000 -float 700000060

e2eStartDisplay
startPelora
shareAsked() { grep -qx 1 "$work/helpers.log"; } # a LOOKUP, never answered
check "the favorite's check reached the share and waits" waitFor 100 shareAsked
listed() { [ "$(menuTitles documents | grep -xE 'Report.odt|Local.txt' | paste -sd'|')" = "Report.odt|Local.txt" ]; }
check "the Documents menu answers: the share's favorite as stored, the local one checked" waitFor 50 listed
check "a command answers meanwhile" cmd menu folders
check "the Documents button opens its menu" openMenuAt documents
closeMenus
e2eFinish "$work/helpers.log"
