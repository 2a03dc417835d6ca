#!/usr/bin/env bash
# Installs what is missing, builds Tessaly and starts it on the demo library:
# three categories installed beside the executable, all 14 packages on a
# package server on 127.0.0.1 that runs while the program does. The packages
# are signed with a demo publisher key made once in build/demo-chave, and the
# program is built with its public key, so downloads take the signed path.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
port="${TESSALY_DEMO_PORT:-8080}"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTESSALY_PACKAGE_SERVER="http://127.0.0.1:$port/"
cmake --build build -j "$(nproc)" --target tessaly-demo-drawings tessaly-pack
keys="$PWD/build/demo-chave"
[ -f "$keys/tessaly-pacotes.chave" ] || build/tools/tessaly-pack/tessaly-pack keygen "$keys"
cmake -S . -B build -DTESSALY_PACKAGE_KEY="$(cat "$keys/tessaly-pacotes.pub")"
cmake --build build -j "$(nproc)" --target tessaly
program_folder="$PWD/build/app"
demo="$PWD/build/demo-library"
cmake -DGENERATOR="$PWD/build/tools/demo-drawings/tessaly-demo-drawings" \
  -DPACK="$PWD/build/tools/tessaly-pack/tessaly-pack" -DWORK="$demo" \
  -DPROGRAM="$program_folder" -DSERVER="$demo/servidor" -DSIGN="$keys/tessaly-pacotes.chave" \
  -P tools/demo-drawings/DemoLibrary.cmake

/usr/bin/python3 scripts/package-server.py "$demo/servidor" --port "$port" > /dev/null &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
  if ! kill -0 "$server" 2>/dev/null; then
    echo "O servidor de pacotes não iniciou na porta $port (já em uso? use TESSALY_DEMO_PORT)." >&2
    exit 1
  fi
  sleep 0.1
done
"$program_folder/tessaly"
