#!/usr/bin/env bash
# The playground: installs what it needs (Debian packages, the npm packages
# pinned in playground/package-lock.json), builds the core for the browser
# and the static site (playground/dist/, any web host can serve it) and
# serves it on 127.0.0.1, printing the address.
#   scripts/playground.sh [PORT]          (8080 unless given)
#   scripts/playground.sh --build-only
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
cmake -S . -B build/wasm -DCMAKE_TOOLCHAIN_FILE=cmake/wasm32-wasi.cmake \
  -DCMAKE_BUILD_TYPE=Release -DKORVA_WERROR=ON > /dev/null
cmake --build build/wasm -j2 --target korva-core
(cd playground && npm ci --no-audit --no-fund --loglevel=error && node build.mjs ../build/wasm/korva-core.wasm)
[ "${1:-}" = "--build-only" ] && exit 0
exec node playground/serve.mjs playground/dist "${1:-8080}"
