#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, if missing.
set -euo pipefail
# The window's end-to-end test runs on Xvfb under openbox, driven by xdotool;
# xprop (x11-utils) sees the window manager start, imagemagick keeps a
# screenshot of a failure. qt6-translations-l10n speaks Qt's dialogs in the
# desktop's language.
packages=(cmake g++ make libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev
          qt6-translations-l10n xvfb xauth openbox xdotool x11-utils imagemagick
          clang libclang-rt-14-dev fonts-ipafont-gothic)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
