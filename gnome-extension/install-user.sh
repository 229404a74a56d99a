#!/usr/bin/env bash
# Installs Pelora's GNOME Shell extension from a bundle for the current user and enables it:
# both variants are copied (the shell loads the one made for its version) and added to GNOME's
# enabled extensions. Running it again updates them. GNOME Shell reads its extensions only when
# it starts: on Wayland a newly installed extension loads at the next login.
# Usage: install-user.sh <Pelora.app>
set -euo pipefail
source=${1:?bundle}/Contents/Resources/gnome-shell/extensions
target="${XDG_DATA_HOME:-$HOME/.local/share}/gnome-shell/extensions"
mkdir -p "$target"
uuids=()
for dir in "$source"/*/; do
    uuid=$(basename "$dir")
    rm -rf "$target/$uuid.new"
    cp -r "$dir" "$target/$uuid.new"
    rm -rf "$target/$uuid"
    mv "$target/$uuid.new" "$target/$uuid"
    uuids+=("$uuid")
done
if ! command -v gsettings >/dev/null ||
    ! gsettings range org.gnome.shell enabled-extensions >/dev/null 2>&1; then
    echo "GNOME Shell's settings are not installed: the extension is in $target, not enabled"
    exit 0
fi
enabled=$(gsettings get org.gnome.shell enabled-extensions)
for uuid in "${uuids[@]}"; do
    case $enabled in
        *"'$uuid'"*) ;;
        "@as []" | "[]") enabled="['$uuid']" ;;
        *) enabled="${enabled%]}, '$uuid']" ;;
    esac
done
# gsettings reports success even when dconf could not store the value (no session bus): the
# value read back is what counts.
gsettings set org.gnome.shell enabled-extensions "$enabled" 2>/dev/null || true
if [ "$(gsettings get org.gnome.shell enabled-extensions 2>/dev/null)" != "$enabled" ]; then
    echo "Could not enable it here: from your GNOME session, run gnome-extensions enable UUID"
    echo "  with UUID one of ${uuids[*]} (45 and later load the second)"
    exit 0
fi
if [ "$(gsettings get org.gnome.shell disable-user-extensions)" = true ]; then
    echo "Note: GNOME's user extensions are switched off (Extensions app, or"
    echo "  gsettings set org.gnome.shell disable-user-extensions false)"
fi
echo "Installed and enabled Pelora's GNOME Shell extension (${uuids[*]})."
echo "GNOME Shell loads it at your next login (on Wayland; on X11 also after Alt+F2, r)."
