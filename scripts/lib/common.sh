# Shared by the scripts in this folder; sourced, never run.

# Debian packages needed to build Korvalen.
# GIO (libglib2.0-dev) reads the IBus engine list from GSettings; the windows of wlroots
# compositors come over a Wayland connection of Korvalen's own, its protocol code generated with
# wayland-scanner (libwayland-bin) and linked with libwayland-client (libwayland-dev).
BUILD_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev liburiparser-dev libx11-dev libglib2.0-dev
                libwayland-dev libwayland-bin)

# What running it needs on top of the build: fonts with the letters of all eighteen interface
# languages, since a machine without them shows boxes in place of Chinese, Japanese, Korean,
# Arabic, Hebrew or Thai text (Noto CJK for the first three, Noto's core set for the others).
RUN_PACKAGES=(fonts-noto-cjk fonts-noto-core)

# What the demonstration adds (scripts/lib/demo.sh): an X server of its own (Xvnc), whose keymap
# setxkbmap (x11-xkb-utils) loads; a window manager that keeps _NET_ACTIVE_WINDOW (openbox), as
# Korvalen follows the front window through it; an XEmbed tray for the icon (trayer); windows with
# a class of the demo's choosing (xterm); xdotool to bring them to the front; xprop (x11-utils) to
# see the window manager ready; and import (imagemagick) for the screenshot.
DEMO_PACKAGES=(tigervnc-standalone-server x11-xkb-utils openbox trayer xterm xdotool x11-utils
               imagemagick)

# What the activation latency benchmark adds (bench/run-activation-latency.sh): an X server of its
# own (Xvnc) with two layouts that setxkbmap (x11-xkb-utils) loads, a window manager that answers
# activation requests (openbox), windows to activate (xterm), and xxkb, the layout switcher that
# keeps a layout per window, whose figures Korvalen's are set beside. The rest of bench/run-all.sh
# adds Google Benchmark (libbenchmark-dev) for the short benchmarks and, for timing the real
# program on a desktop of its own, a tray (trayer), xdotool and xprop (x11-utils) to see it ready
# and a session bus of its own (dbus-run-session, from dbus-daemon).
BENCH_PACKAGES=(tigervnc-standalone-server x11-xkb-utils openbox xterm xxkb
                libbenchmark-dev trayer xdotool x11-utils dbus-daemon)

# Debian packages the test suite needs on top of the build. The X11 tests run against Xvnc, whose
# keymap setxkbmap (x11-xkb-utils) loads; the browser tests drive Debian's Chromium; the tray test
# plays a desktop panel on a private session bus of dbus-run-session (dbus-daemon); one test runs
# the demonstration, so its packages are here as well. The packaging tests validate the installed
# desktop entry (desktop-file-utils) and metadata (appstream), watch which translations the
# installed program opens (strace), read the installed browser extension packages (unzip), and
# build the .deb (dpkg-dev and file compute its dependencies). The input method backends are
# tested against the real daemons (ibus, fcitx5), each on a private session bus. The browser
# extension is tested in Chromium and in Firefox ESR, into whose profile the test sideloads it as
# a package it makes with zip. The sway backends are tested against a headless sway with foot and
# Xwayland's xterm as windows, and a virtual keyboard the tests build (libwayland-bin, -dev).
# Korvalen's GNOME Shell extension is tested in a headless GNOME Shell (gnome-shell), again with
# foot windows; the Shell keeps its extensions and input sources in GSettings, which dconf's
# writer (dconf-service) stores. Google Benchmark (libbenchmark-dev) has the benchmarks built with
# everything else, so that they keep compiling.
TEST_PACKAGES=(libgtest-dev libgmock-dev clang-format tigervnc-standalone-server x11-xkb-utils chromium
               firefox-esr zip unzip dbus-daemon desktop-file-utils appstream strace dpkg-dev file
               ibus fcitx5 sway foot xwayland libwayland-bin libwayland-dev
               kwin-wayland weston gnome-shell dconf-service libbenchmark-dev "${DEMO_PACKAGES[@]}")

# What the fuzz step of scripts/test adds: clang, and the libraries of its libFuzzer and sanitizers
# (libclang-rt-dev), which Debian's clang only recommends.
FUZZ_PACKAGES=(clang libclang-rt-dev)

# Installs the given Debian packages that are missing; does nothing when all are present,
# so the scripts can be run again and again without network access.
ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        # The lists share packages (Xvnc serves both the tests and the demonstration).
        if [[ " ${missing[*]} " == *" $package "* ]]; then
            continue
        fi
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
