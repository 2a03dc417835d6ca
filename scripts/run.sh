#!/usr/bin/env bash
# Installs what is missing, builds Tessaly and starts it on a demo library
# written beside the executable.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target tessaly tessaly-demo-library
program_folder="$PWD/build/app"
demo_drawing=""
sample="$PWD/../shared/dwg-samples/R2000/libredwg_entities-2d.dwg"
[ -f "$sample" ] && demo_drawing="$sample"
if [ ! -d "$program_folder/Blocos" ]; then
  QT_QPA_PLATFORM=offscreen build/tools/demo-library/tessaly-demo-library "$program_folder" $demo_drawing
fi
exec "$program_folder/tessaly"
