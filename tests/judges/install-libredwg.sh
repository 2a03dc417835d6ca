#!/usr/bin/env bash
# Installs the LibreDWG judge (LibreDWG built to WebAssembly, an npm package)
# into build/judges/libredwg, pinned to one version; a test tool only, never
# linked into the program. Does nothing when that version is already there.
set -euo pipefail
cd "$(dirname "$0")/../.."
version=0.7.14
target=build/judges/libredwg
installed="$target/node_modules/@mlightcad/libredwg-web/package.json"
if [ -f "$installed" ] && grep -q "\"version\": \"$version\"" "$installed"; then exit 0; fi
command -v npm >/dev/null || { echo "npm não encontrado: instale nodejs e npm" >&2; exit 1; }
mkdir -p "$target"
npm install --prefix "$target" --no-audit --no-fund --no-save "@mlightcad/libredwg-web@$version" >/dev/null
