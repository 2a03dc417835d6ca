#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the program and the tests need;
# with "windows", also what the Windows build, its installer and running it
# under Wine need. Does nothing when they are all there already.
#   bash scripts/install-deps.sh [windows]
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-translations-l10n libgl-dev
  libzip-dev zlib1g-dev libcurl4-openssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev
  clang-14 libclang-rt-14-dev
  libfreetype-dev libpng-dev zip unzip fonts-wine fonts-dejavu-core xvfb xauth openbox python3 python3-pil python3-numpy
  fp-utils libsqlite3-dev libsodium-dev libssl-dev e2fsprogs
  desktop-file-utils appstream lintian
  python3-ezdxf librecad
)
# The LibreDWG judge runs on Node.js; a Node.js from elsewhere (NodeSource's
# brings its own npm, which Debian's npm package conflicts with) does as well.
command -v npm > /dev/null || packages+=(nodejs npm)
if [ "${1:-}" = windows ]; then
  packages+=(
    gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    qt6-base-dev-tools wine wine64 nsis xdotool x11-utils imagemagick python3-yaml python3-pefile
  )
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
as_root=()
[ "$(id -u)" -ne 0 ] && as_root=(sudo)
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
