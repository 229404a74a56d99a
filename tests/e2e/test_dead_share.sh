#!/usr/bin/env bash
# A favorite on a network share that stops answering: a FUSE file system that answers nothing
# after INIT, mounted in a private mount namespace. The strip's Documents button and menu, and
# every command, answer while the favorite's check hangs; it is listed as it was stored.
if [ -z "${PELORA_E2E_PRIVATE_MOUNTS:-}" ]; then
    [ "$(id -u)" -eq 0 ] && [ -c /dev/fuse ] ||
        { echo "SKIP: a FUSE mount of our own needs root and /dev/fuse"; exit 77; }
    unshare --mount --propagation private true 2>/dev/null ||
        { echo "SKIP: no private mount namespace here"; exit 77; }
    PELORA_E2E_PRIVATE_MOUNTS=1 exec unshare --mount --propagation private bash "$0" "$@"
fi
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
e2eInit "$@" Xvfb openbox xdotool xwininfo

share="$work/share" && mkdir -p "$share"
spawn "$python" "$(dirname "${BASH_SOURCE[0]}")/helpers/silent_fuse.py" "$share" "$work/ready"
waitFor 100 test -e "$work/ready" || { cat "$work/helpers.log"; echo "SKIP: FUSE cannot mount here"; exit 77; }

# References as the program stores them (path and identity; the share's is never asked), the
# one on the share the newest.
reference() { # path [device inode]
    "$python" -c 'import os, struct, sys
p = sys.argv[1]; b = p.encode()
dev, ino = (int(sys.argv[2]), int(sys.argv[3])) if len(sys.argv) > 3 else os.stat(p)[2:0:-1]
print((b"PLBK" + struct.pack(">HHQQI", 1, 1, dev, ino, len(b)) + b).hex())' "$@"
}
echo local >"$HOME/Documents/Local.txt"
cmd defaults write PeloraFavoriteBookmarks -array -data "$(reference "$HOME/Documents/Local.txt")" \
    -data "$(reference "$share/Report.odt" 1 2)"
cmd defaults write PeloraFavoriteBookmarksAddedAt -array -float 700000000 -float 700000060

e2eStartDisplay
startPelora
shareAsked() { grep -qx 1 "$work/helpers.log"; } # a LOOKUP that is never answered
check "the favorite's check reached the share and waits" waitFor 100 shareAsked
listed() { [ "$(menuTitles documents | grep -xE 'Report.odt|Local.txt' | paste -sd'|')" = "Report.odt|Local.txt" ]; }
check "the Documents menu answers: the share's favorite as stored, the local one checked" waitFor 50 listed
check "a command answers meanwhile" cmd menu folders
check "the Documents button opens its menu" openMenuAt documents
closeMenus
check "the strip still answers commands" cmd strip hide
e2eFinish "$work/helpers.log"
