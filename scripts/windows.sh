#!/usr/bin/env bash
# Builds Tessaly for 64-bit Windows, on Debian, into build-windows/:
# tessaly.exe, dwginfo.exe, dwgrender.exe and tessaly-pack.exe (static: no DLL
# beside them), the test programs (build-windows/cmake/tests, run under Wine by
# scripts/windows-test.sh), the installer Tessaly-<versão>-x64-instalador.exe
# and its winget manifest in build-windows/winget, checked against it.
#   bash scripts/windows.sh [-DTESSALY_PACKAGE_SERVER=... -DTESSALY_PACKAGE_KEY=...]
# takes the same settings as the Linux build. The toolchain (every library
# linked, built for Windows) is ../shared/mingw-sdk/tessaly-mingw-sdk.tar.xz,
# unpacked into build-windows/tessaly-mingw; TESSALY_MINGW_SDK may name an
# unpacked one instead. Without either, TESSALY_MINGW_SDK_BUILD=1 makes it from
# Debian's sources with ../shared/mingw-sdk/build.sh (about 45 minutes on two
# cores). vazio.dwg and the help's pictures come from the Linux build of the
# same sources in build/, made first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh windows
jobs=$(nproc)
out=build-windows
mkdir -p "$out"

sdk="${TESSALY_MINGW_SDK:-$PWD/$out/tessaly-mingw}"
archive=../shared/mingw-sdk/tessaly-mingw-sdk.tar.xz
if [ ! -f "$sdk/toolchain.cmake" ]; then
  if [ -f "$archive" ]; then
    tar -xJf "$archive" -C "$out"
  elif [ "${TESSALY_MINGW_SDK_BUILD:-}" = 1 ]; then
    bash ../shared/mingw-sdk/build.sh "$sdk"
  else
    echo "Sem as bibliotecas para Windows: ponha $archive no lugar, indique uma pasta" \
         "já desempacotada em TESSALY_MINGW_SDK ou faça-as com TESSALY_MINGW_SDK_BUILD=1." >&2
    exit 1
  fi
fi

# The Linux build's own files the Windows build takes.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j "$jobs" --target tessaly-empty-drawing tessaly-help

cmake -S . -B "$out/cmake" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$sdk/toolchain.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_CXX_FLAGS=-Werror \
  -DTESSALY_WITH_BENCH=OFF \
  -DTESSALY_HOST_BUILD="$PWD/build" "$@"
cmake --build "$out/cmake" -j "$jobs"
for tool in app/tessaly tools/dwginfo/dwginfo tools/dwgrender/dwgrender \
            tools/tessaly-pack/tessaly-pack; do
  x86_64-w64-mingw32-strip -o "$out/$(basename "$tool").exe" "$out/cmake/$tool.exe"
done
ls -l "$out"/*.exe
/usr/bin/python3 dist/winget/check-manifest.py "$out/winget" "$out/Tessaly-$(sed -n \
  's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$out/cmake/CMakeCache.txt")-x64-instalador.exe"
