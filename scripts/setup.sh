#!/usr/bin/env bash
# Installs every Debian package Vellomar needs to build, run and test. Safe to run again: it does
# nothing when everything is present. Works as root or through sudo.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build ccache clang libclang-rt-14-dev clang-format pkg-config
  # locales: lets the tests build a German locale to check that numbers ignore it
  locales
  # libraries
  qt6-base-dev qt6-base-dev-tools libgl-dev libpulse-dev libsndfile1-dev libsoundtouch-dev
  libjpeg62-turbo-dev
  # spelling: Hunspell and the American English dictionary (others the user installs are offered)
  libhunspell-dev hunspell-en-us
  # tests and benchmarks
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  # audio tests: a private PulseAudio daemon with null sinks, speech to record, sound tools
  pulseaudio pulseaudio-utils espeak-ng sox
  # and once more against PipeWire's PulseAudio server, which needs a session bus
  pipewire pipewire-pulse wireplumber dbus
  # looking at the program headless; the printed PDF's pages and text
  xvfb xauth xdotool imagemagick poppler-utils
  # the end-to-end run's typist sends its keys through libX11 and libXtst from Python
  python3 libx11-6 libxtst6
  # the exported notes page clicked in a real browser
  chromium chromium-driver python3-selenium
  # installing and packaging: the desktop entry, file types and AppStream checks, the file type
  # queries the install test makes (gio), rendering the icon's sizes from its SVG
  desktop-file-utils shared-mime-info xdg-utils appstream libglib2.0-bin librsvg2-bin
  # the fonts the notes are drawn with
  fonts-dejavu fonts-liberation2 fonts-comic-neue
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo=()
if ((EUID != 0)); then
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
