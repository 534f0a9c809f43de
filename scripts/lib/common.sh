# Shared by the scripts in this folder; sourced, never run.

# Debian packages needed to build Korvalen and to run it.
BUILD_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev liburiparser-dev libx11-dev)

# Debian packages the test suite needs on top of the build. The X11 tests run against Xvnc, whose
# keymap setxkbmap (x11-xkb-utils) loads; the browser tests drive Debian's Chromium; the tray test
# plays a desktop panel on a private session bus of dbus-run-session (dbus-daemon).
TEST_PACKAGES=(libgtest-dev libgmock-dev clang-format tigervnc-standalone-server x11-xkb-utils chromium
               dbus-daemon)

# Installs the given Debian packages that are missing; does nothing when all are present,
# so the scripts can be run again and again without network access.
ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo=(sudo)
    fi
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
}

# Configures and builds one CMake preset of the project.
build_preset() {
    cmake --preset "$1"
    cmake --build --preset "$1"
}
