#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, if missing.
set -euo pipefail
# gputils, gpsim, lintian and dpkg-dev serve tests: the chip files against the
# gputils headers, the documented gpsim run, the debug file and the Debian
# package. The window's end-to-end test runs on Xvfb under openbox, driven by
# xdotool; xprop (x11-utils) sees the window manager start, imagemagick keeps
# a screenshot of a failure. qt6-translations-l10n speaks Qt's dialogs in the
# desktop's language. mingw-w64 and wine build and run the Windows programs;
# clang-format and clang-tidy check the style; kate-syntax-highlighter
# (libkf5syntaxhighlighting-tools) checks the editor definitions.
# nlohmann-json3-dev reads and writes the language server's messages; neovim
# and emacs-nox with elpa-eglot are the real clients its end-to-end tests
# drive. ccache keeps the compiled sources between the several builds of the
# checks. wasi-libc, the wasm32 C++ library and lld build the portable core
# for WebAssembly; Node runs it. npm (with Node where it comes from
# NodeSource, Debian's package otherwise) installs the playground's pinned
# packages, and Debian's Chromium runs its browser tests.
packages=(cmake g++ make libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev
          qt6-translations-l10n xvfb xauth openbox xdotool x11-utils imagemagick
          clang libclang-rt-14-dev fonts-ipafont-gothic
          clang-format clang-tidy g++-mingw-w64-x86-64 wine wine64
          python3 gputils gpsim lintian dpkg-dev libkf5syntaxhighlighting-tools
          nlohmann-json3-dev neovim emacs-nox elpa-eglot ccache
          wasi-libc libc++-14-dev-wasm32 libc++abi-14-dev-wasm32 libclang-rt-14-dev-wasm32
          lld-14 nodejs chromium)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
# Debian's Node comes without npm; NodeSource's brings its own.
if ! command -v npm > /dev/null; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq npm
fi
