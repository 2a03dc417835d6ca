#!/usr/bin/env bash
# The installer's smoke test, under Wine, in a prefix of its own: installs
# build-windows/Tessaly-<versão>-instalador.exe silently, checks what it put
# where, serves the signed demo packages on the address the Windows build was
# made with, starts the installed tessaly.exe under Xvfb with a window manager
# and drives it as a user with xdotool: the main window, a category downloaded
# and shown, its second block previewed, that block ("Cubo isométrico") saved
# as a .DWG in Documents and read back by dwginfo; then installs again over it
# (the downloaded category stays) and uninstalls silently (which keeps the
# downloaded categories, as the uninstaller's question defaults to).
#   bash scripts/windows-smoke.sh [served folder: blocos/<n>.zip, blocos/indice.txt]
# The Windows build must be made for a server on this machine and for the
# demo publisher's key, which scripts/run.sh keeps in build/demo-chave:
#   build/tools/tessaly-pack/tessaly-pack keygen build/demo-chave   (once)
#   bash scripts/windows.sh -DTESSALY_PACKAGE_SERVER=http://127.0.0.1:8191/ \
#     -DTESSALY_PACKAGE_KEY=$(cat build/demo-chave/tessaly-pacotes.pub)
# Without a served folder the demo packages are made here, signed with that
# key, by the Linux build in build/ (which also gives dwginfo).
set -euo pipefail
cd "$(dirname "$0")/.."
out="$PWD/build-windows"
installer=$(ls "$out"/Tessaly-*-x64-instalador.exe)
cached() { sed -n "s/^$1:[A-Z]*=//p" "$out/cmake/CMakeCache.txt"; }
server_address=$(cached TESSALY_PACKAGE_SERVER)
port=$(echo "$server_address" | sed -n 's|^http://127\.0\.0\.1:\([0-9]*\)/$|\1|p')
if [ -z "$port" ]; then
  echo "O teste precisa de uma compilação para um servidor em http://127.0.0.1:<porta>/" \
       "(esta usa $server_address)." >&2
  exit 1
fi
keys="$PWD/build/demo-chave"
if [ $# -eq 0 ] && [ "$(cat "$keys/tessaly-pacotes.pub" 2>/dev/null)" != "$(cached TESSALY_PACKAGE_KEY)" ]; then
  echo "A compilação para Windows não foi feita com a chave de $keys: dê a pasta" \
       "de pacotes assinados para a chave dela." >&2
  exit 1
fi
tools=(dwginfo)
[ $# -eq 0 ] && tools+=(tessaly-demo-drawings tessaly-pack)
if ! built=$(cmake --build build -j 2 --target "${tools[@]}" 2>&1); then
  echo "$built" >&2
  exit 1
fi

work=$(mktemp -d /tmp/tessaly-smoke-XXXXXX)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all HOME="$work/home"
mkdir -p "$HOME"
server=
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "$server" ] && kill "$server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

step() { echo "smoke: $*"; }
fail() {
  echo "FALHA no teste de fumaça: $*" >&2
  exit 1
}

step "instalação silenciosa"
xvfb-run -a wineboot --init > /dev/null 2>&1
wine "$installer" /S
wineserver -w
program=$(find "$WINEPREFIX/drive_c/users" -path '*/AppData/Local/Programs/Tessaly/tessaly.exe' \
  -printf '%h\n' | head -1)
[ -n "$program" ] || fail "tessaly.exe não está em %LOCALAPPDATA%\\Programs\\Tessaly"
for file in tessaly.exe TessalyMiniaturas.dll vazio.dwg Ajuda.chm desinstalar.exe translations/qtbase_pt_BR.qm \
            Blocos/{0..13}.txt; do
  [ -f "$program/$file" ] || fail "a instalação não pôs $file"
done
find "$WINEPREFIX/drive_c/users" -path '*/Start Menu/Programs/Tessaly.lnk' | grep -q . ||
  fail "sem atalho no menu Iniciar"
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessaly'
version=$(basename "$installer" | sed 's/^Tessaly-\(.*\)-x64-instalador\.exe$/\1/')
wine reg query "$uninstall_key" /v DisplayVersion 2>/dev/null | grep -q "$version" ||
  fail "sem a versão $version em Aplicativos instalados"
wine reg query "$uninstall_key" /v UninstallString 2>/dev/null | grep -q desinstalar.exe ||
  fail "sem o desinstalador em Aplicativos instalados"
# What winget will find installed is what the manifest of this installer says.
registered() { wine reg query "$uninstall_key" /v "$1" 2>/dev/null | tr -d '\r' |
               sed -n "s/^ *$1 *REG_SZ *//p"; }
/usr/bin/python3 dist/winget/check-manifest.py "$out/winget" "$installer" --registry \
  "DisplayName=$(registered DisplayName)" "Publisher=$(registered Publisher)" \
  "DisplayVersion=$(registered DisplayVersion)" \
  "QuietUninstallString=$(registered QuietUninstallString)" ||
  fail "o manifesto winget não é o desta instalação"
thumbnail_handler='HKCU\Software\Classes\.dwg\ShellEx\{E357FCCD-A995-4576-B01F-234630154E96}'
wine reg query "$thumbnail_handler" 2>/dev/null | grep -qi 'C53135CC-289E-455C-A833-78E17858FA60' ||
  fail "as miniaturas de .dwg não foram registradas"

if [ $# -gt 0 ]; then
  served="$(realpath "$1")"
else
  step "pacotes de demonstração"
  served="$work/demo/servidor"
  cmake -DGENERATOR="$PWD/build/tools/demo-drawings/tessaly-demo-drawings" \
    -DPACK="$PWD/build/tools/tessaly-pack/tessaly-pack" -DWORK="$work/demo" \
    -DPROGRAM="$work/demo-programa" -DINSTALLED= -DSERVER="$served" \
    -DSIGN="$keys/tessaly-pacotes.chave" -P tools/demo-drawings/DemoLibrary.cmake > /dev/null
fi
/usr/bin/python3 scripts/package-server.py "$served" --port "$port" > "$work/server.log" 2>&1 &
server=$!
for _ in $(seq 100); do
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
  kill -0 "$server" 2>/dev/null || fail "o servidor de pacotes não iniciou na porta $port"
  sleep 0.1
done

# Driving the program, on a display of its own.
cat > "$work/drive.sh" <<'DRIVE'
set -euo pipefail
fail() {
  import -window root "$SMOKE_WORK/tela.png" 2>/dev/null || true
  echo "FALHA no teste de fumaça: $* (tela em $SMOKE_WORK/tela.png)" >&2
  exit 1
}
# The id of the visible window whose whole title matches the extended
# pattern $1, waiting up to $2 seconds.
window() {
  local deadline=$((SECONDS + ${2:-30})) id
  while [ "$SECONDS" -lt "$deadline" ]; do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.3
  done
  fail "a janela \"$1\" não apareceu em ${2:-30} s"
}
gone() {
  local deadline=$((SECONDS + ${2:-30}))
  while [ "$SECONDS" -lt "$deadline" ]; do
    xdotool search --onlyvisible --name "^$1\$" > /dev/null 2>&1 || return 0
    sleep 0.3
  done
  fail "a janela \"$1\" não se fechou em ${2:-30} s"
}
press() { xdotool key --clearmodifiers "$@"; sleep 0.3; }
# Brings window $1 to the front with the keyboard's focus, then presses the keys.
press_in() {
  xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1"
  shift
  press "$@"
}
# Clicks at x,y of window $1's inside.
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; sleep 0.3; }
# Picks the category list's first entry (3D) from the main window $1.
first_category() {
  click "$1" 130 15
  press Home Return
}

openbox > /dev/null 2>&1 &
wine "$SMOKE_PROGRAM/tessaly.exe" > "$SMOKE_WORK/tessaly.log" 2>&1 &
echo "smoke: janela principal"
main=$(window "Tessaly - Biblioteca de blocos para projetos" 120)
sleep 2
# The category list opens by itself at the first start; it is closed and
# opened again by a click, the way a user who looked elsewhere would.
press_in "$main" Escape
first_category "$main"

echo "smoke: download das categorias"
packages=$(window "Download de biblioteca" 30)
# Wine draws this tool window's frame inside its X window: the 400 x 438
# dialog sits at the bottom, centred across.
eval "$(xdotool getwindowgeometry --shell "$packages")"
border=$(((WIDTH - 400) / 2))
click "$packages" $((border + 344)) $((HEIGHT - border - 438 + 402))
# Every category not installed is ticked: all 14 come from the server.
box=$(window "Informação" 120)
press_in "$box" Return
# After the run the window closes and the category list drops down.
gone "Download de biblioteca"
for n in $(seq 0 13); do
  [ -d "$SMOKE_PROGRAM/Blocos/$n/DWG" ] || fail "a categoria $n não foi instalada em Blocos\\$n"
done

echo "smoke: bloco visualizado"
# 3D, the list's first entry, is picked: it shows with its first block
# selected, and the second block's picture is clicked, as a user explores it.
sleep 1
press Home Return
sleep 2
click "$main" 195 90
# The preview ("Navegador") takes the block's caption as its title; Wine's
# titles are UTF-8, which xdotool's pattern may read byte by byte.
preview=$(window "» Biblioteca - 3D - Bloco Cubo isom.{1,2}trico" 30)
sleep 2
import -window "$preview" "$SMOKE_WORK/navegador.png"
colours=$(identify -format '%k' "$SMOKE_WORK/navegador.png")
[ "$colours" -gt 2 ] || fail "o Navegador não mostra o desenho ($colours cores)"

echo "smoke: bloco salvo com nome acentuado"
eval "$(xdotool getwindowgeometry --shell "$main")"
click "$main" $(((382 * WIDTH + 382) / 764)) $((HEIGHT - 19 - 50 + 25))
dialog=$(window "Salvar" 30)
press_in "$dialog" Return
box=$(window "Informação" 60)
press_in "$box" Return
# Closed as a user closes it: the preview goes with the main window.
press_in "$main" alt+F4
gone "Tessaly - Biblioteca de blocos para projetos" 30
gone "» Biblioteca - 3D - Bloco Cubo isom.{1,2}trico" 30
DRIVE
step "programa sob Xvfb"
# Wine's desktop process must start on the display: none of the earlier calls may still run.
wineserver -w
SMOKE_WORK="$work" SMOKE_PROGRAM="$program" \
  xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/drive.sh" ||
  { cat "$work/tessaly.log" "$work/server.log" >&2; cp -f "$work"/*.png "$out/" 2>/dev/null; exit 1; }
wineserver -k 2>/dev/null || true

saved=$(find -L "$WINEPREFIX/drive_c/users/"*/Documents -maxdepth 1 -name 'Cubo isométrico.DWG' \
  -print -quit 2>/dev/null || true)
[ -n "$saved" ] || fail "\"Cubo isométrico.DWG\" não foi salvo em Documentos"
build/tools/dwginfo/dwginfo "$saved" > "$work/dwginfo.txt" ||
  fail "o desenho salvo não se lê: $(cat "$work/dwginfo.txt")"

step "atualização por cima"
wine "$installer" /S
wineserver -w
[ -d "$program/Blocos/0/DWG" ] || fail "a reinstalação apagou a categoria baixada"

step "desinstalação silenciosa"
wine "$program/desinstalar.exe" /S
wineserver -w
for _ in $(seq 100); do [ -f "$program/tessaly.exe" ] || break; sleep 0.1; done
[ ! -f "$program/tessaly.exe" ] || fail "a desinstalação deixou tessaly.exe"
[ -d "$program/Blocos/0/DWG" ] || fail "a desinstalação silenciosa apagou as categorias baixadas"
! wine reg query "$uninstall_key" > /dev/null 2>&1 || fail "a desinstalação deixou o registro"
! wine reg query "$thumbnail_handler" > /dev/null 2>&1 ||
  fail "a desinstalação deixou o registro das miniaturas"
[ ! -f "$program/TessalyMiniaturas.dll" ] || fail "a desinstalação deixou TessalyMiniaturas.dll"
step "ok"
