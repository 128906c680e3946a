#!/bin/sh
# Packages the VS Code extension as korva-0.1.0.vsix: copies the grammar and
# the language configuration that korva-syntax writes (syntax/editors), takes
# vscode-languageclient and @vscode/vsce from the npm registry and packages.
# Needs node, npm and the network, so CI does not run it.
set -eu
cd "$(dirname "$0")"
cp ../../syntax/editors/korva.tmLanguage.json ../../syntax/editors/language-configuration.json .
[ -f LICENSE.txt ] || cp ../../resources/debian/copyright LICENSE.txt
npm install --no-audit --no-fund
npx vsce package --out korva.vsix
echo "written: $(pwd)/korva.vsix (install: code --install-extension korva.vsix)"
