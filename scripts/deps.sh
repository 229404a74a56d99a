# Debian packages Pelora needs; sourced by scripts/run and scripts/test.
PELORA_BUILD_PACKAGES="cmake ninja-build g++ pkg-config ccache qt6-base-dev qt6-tools-dev
  qt6-l10n-tools qt6-tools-dev-tools qt6-svg-dev libqt6svg6 libglib2.0-dev libxcb1-dev
  libxcb-ewmh-dev libxcb-icccm4-dev libxcb-keysyms1-dev libxcb-res0-dev libxcb-xfixes0-dev adwaita-icon-theme xdg-utils
  qt6-image-formats-plugins libicu-dev libwayland-dev plasma-wayland-protocols"
PELORA_TEST_PACKAGES="libgtest-dev libgmock-dev libbenchmark-dev xvfb openbox xdotool xclip
  imagemagick x11-utils wmctrl xterm x11-apps trayer python3-gi gir1.2-gtk-3.0 xauth
  clang libclang-rt-14-dev sway foot wl-clipboard qt6-wayland xwayland gnome-shell gir1.2-gtk-4.0
  kwin-wayland weston dbus-daemon"
# scripts/package (CPack finds the executables with file, their dependencies with dpkg-shlibdeps)
# and scripts/test-package (a clean Debian root).
PELORA_PACKAGE_PACKAGES="dpkg-dev file lintian desktop-file-utils"
PELORA_PACKAGE_TEST_PACKAGES="debootstrap debian-archive-keyring"

# Installs the packages that are missing, as root or through sudo.
pelora_install_packages() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=300 install -y \
        --no-install-recommends "${missing[@]}"
}
