#!/bin/sh
# run_emacs.sh KORVA_LSP SOURCE_DIR: drives korva-lsp from Emacs with eglot,
# in batch, on a project with Japanese labels. Exit status 77 (skipped)
# without emacs or eglot.
set -eu
if ! command -v emacs >/dev/null 2>&1 || [ ! -d /usr/share/emacs/site-lisp/elpa ] ||
   ! ls /usr/share/emacs/site-lisp/elpa | grep -q '^eglot'; then
  echo "emacs or eglot is not installed: the Emacs end-to-end test is skipped (apt-get install emacs-nox elpa-eglot)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/project"
# The program, written in UTF-8 here and kept in CP932 as users keep it.
iconv -f UTF-8 -t CP932 > "$work/project/main.as" <<'PROGRAM'
表示値 EQU 5
開始:: W+表示値>W
        表示
        ===->ループ
ループ:: NOP
        ===->開始
SUB 表示
        RET
END SUB
        ===->未定義
PROGRAM
printf 'main.as\r\n' > "$work/project/main.amk"
export KORVA_LSP="$1" KORVA_PROJECT="$work/project" KORVA_CHIPS_DIR="$2/chips" HOME="$work"
timeout 90 emacs -Q --batch -l "$2/tests/lsp/emacs_session.el"
