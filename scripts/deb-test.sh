#!/usr/bin/env bash
# The Debian package of scripts/deb.sh tried as a user's system would take
# it: its dependencies resolved by apt, the package installed into a fresh
# root with dpkg, the installed program started offscreen, the file
# managers' thumbnailer run through its entry on every sample drawing, the
# package purged again, leaving nothing behind.
#   bash scripts/deb-test.sh
set -euo pipefail
cd "$(dirname "$0")/.."
package=$(ls "$PWD"/build-deb/tessaly_*_amd64.deb)
samples="$(realpath "${TESSALY_DWG_SAMPLES:-$PWD/../shared/dwg-samples}")"

# Every dependency is one this Debian has: apt finds them all, installing nothing.
apt-get install --simulate -qq "$package" > /dev/null

root=$(mktemp -d /tmp/tessaly-deb-XXXXXX)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/home/ana"
touch "$root/var/lib/dpkg/status"
# The libraries are the machine's own: the root holds the package alone.
dpkg --root="$root" --force-depends --force-script-chrootless -i "$package" > "$root/dpkg.txt" 2>&1 ||
  { cat "$root/dpkg.txt" >&2; exit 1; }
shipped=$(cd "$root/usr/share/tessaly" && find . -type f | sort | sha256sum)

# Started from the system's folder, the program keeps its library in the
# user's data folder and runs until it is stopped.
status=0
HOME="$root/home/ana" XDG_DATA_HOME= QT_QPA_PLATFORM=offscreen \
  timeout 5 "$root/usr/bin/tessaly" > "$root/saida.txt" 2>&1 || status=$?
if [ "$status" -ne 124 ] || [ ! -d "$root/home/ana/.local/share/Tessaly" ]; then
  echo "FALHA: o programa instalado saiu com $status antes de ser parado:" >&2
  cat "$root/saida.txt" >&2
  exit 1
fi
[ "$(cd "$root/usr/share/tessaly" && find . -type f | sort | sha256sum)" = "$shipped" ] ||
  { echo "FALHA: o programa gravou na pasta do sistema" >&2; exit 1; }

# The thumbnailer as a file manager runs it: the command of its entry.
entry="$root/usr/share/thumbnailers/tessaly.thumbnailer"
command=$(sed -n 's/^Exec=//p' "$entry")
grep -qx 'MimeType=image/vnd.dwg;' "$entry"
mkdir "$root/miniaturas"
: > "$root/tempos.txt"
while IFS= read -r -d '' drawing; do
  out="$root/miniaturas/$(basename "$drawing").png"
  line=${command//%s/256}
  line=${line//%i/\"$drawing\"}
  line=${line//%o/\"$out\"}
  line=${line/#tessaly-thumbnailer/\"$root/usr/bin/tessaly-thumbnailer\"}
  start=$(date +%s%N)
  eval "$line" 2> /dev/null && result=escrita || result=nenhuma
  echo "$(( ($(date +%s%N) - start) / 1000000 )) $result $drawing" >> "$root/tempos.txt"
done < <(find "$samples" -iname '*.dwg' -print0)
/usr/bin/python3 - "$root/tempos.txt" <<'PY'
import sys
from PIL import Image
lines = [l.split(' ', 2) for l in open(sys.argv[1]).read().splitlines()]
written = [path for ms, result, path in lines if result == 'escrita']
times = sorted(int(ms) for ms, _, _ in lines)
for path in written:
    import os
    out = os.path.join(os.path.dirname(sys.argv[1]), 'miniaturas', os.path.basename(path) + '.png')
    with Image.open(out) as image:
        if max(image.size) > 256 or min(image.size) < 1:
            sys.exit(f'FALHA: {out} mede {image.size}')
# Drawings that draw nothing give no thumbnail; every other sample does.
if len(written) < len(lines) - 4:
    sys.exit(f'FALHA: miniaturas de só {len(written)} dos {len(lines)} desenhos')
print(f'miniaturas: {len(written)} de {len(lines)} desenhos, mediana {times[len(times) // 2]} ms, '
      f'máximo {times[-1]} ms por arquivo')
PY

# Purged, the package leaves nothing but dpkg's records and the user's folder.
dpkg --root="$root" --force-depends --force-script-chrootless --purge tessaly > /dev/null
left=$(cd "$root" && find . -mindepth 1 -not -path './var*' -not -path './home*' \
         -not -name '*.txt' -not -path './miniaturas*')
[ -z "$left" ] || { echo "FALHA: a remoção deixou:"; echo "$left"; exit 1; } >&2
echo "pacote instalado, usado e removido sem deixar nada: $(basename "$package")"
