#!/bin/sh
# run_neovim.sh KORVA_LSP SOURCE_DIR: drives korva-lsp from Neovim, headless,
# on a copy of an example project. Exit status 77 (skipped) without nvim.
set -eu
if ! command -v nvim >/dev/null 2>&1; then
  echo "nvim is not installed: the Neovim end-to-end test is skipped (apt-get install neovim)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$2/examples/blink16f877a" "$work/project"
export KORVA_LSP="$1" KORVA_PROJECT="$work/project" KORVA_CHIPS_DIR="$2/chips"
export HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state"
timeout 60 nvim --headless --clean -n -c "luafile $2/tests/lsp/neovim_session.lua"
