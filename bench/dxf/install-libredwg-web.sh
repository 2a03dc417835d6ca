#!/usr/bin/env bash
# Installs LibreDWG's WebAssembly build, pinned, into build/npm-libredwg: a
# program the DXF writer's speed is compared with, never linked into ours.
set -euo pipefail
cd "$(dirname "$0")/../.."
folder=build/npm-libredwg
version=0.7.14
if [ "$(node -p "require('./$folder/node_modules/@mlightcad/libredwg-web/package.json').version" 2> /dev/null)" != "$version" ]; then
  mkdir -p "$folder"
  (cd "$folder" && npm install --no-audit --no-fund --no-save "@mlightcad/libredwg-web@$version")
fi
