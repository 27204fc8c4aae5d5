#!/usr/bin/env bash
# Installs the Debian packages Velmora builds and tests with. Safe to run again: it asks apt only
# for what is missing. Run as root (or with sudo available).
set -euo pipefail

packages=(
  cmake ninja-build g++ binutils pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev
  uuid-dev                    # random UUIDs for scenes, connection attempts and aggregates
  libicu-dev                  # grapheme breaks, case mapping, collation
  clang libclang-rt-14-dev   # libFuzzer targets
  clang-format clang-tidy     # the style gate (scripts/check-style.sh)
  valgrind                    # instruction counts of the render benchmark
  qt6-base-dev qt6-svg-dev libqt6svg6 libgl-dev   # the views (ui/)
  fonts-wqy-microhei          # the panel's Chinese text
  xvfb xcompmgr               # screenshots on a virtual X server
  dbus-daemon at-spi2-core    # the accessibility-bus test
  libglib2.0-dev              # desktop entries, autostart, BlueZ over GDBus
  python3-dbusmock libglib2.0-bin xdotool   # the tray program's session tests, the BlueZ stand-in
  x11-apps imagemagick        # screenshots of the whole screen
  libpipewire-0.3-dev libspa-0.2-dev           # the PipeWire backend
  pipewire pipewire-bin wireplumber            # the server its integration tests start
  pipewire-pulse pulseaudio-utils              # a PulseAudio-protocol client in those tests
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
