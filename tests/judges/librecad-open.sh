#!/usr/bin/env bash
# Judges DXF files with LibreCAD (Debian librecad), a reader that is not ours:
# LibreCAD opens each file and prints it to PDF (its dxf2pdf command, with
# Qt's offscreen platform). Prints one JSON line per file, in the order given:
#   {"file": "...", "opened": true}
#   {"file": "...", "opened": false, "reason": "..."}
# All files go to one LibreCAD process; a file LibreCAD cannot read makes it
# show an error box and wait, so a run that neither prints nor computes for
# LIBRECAD_STALL seconds (default 10) is ended, that file judged unopened,
# and the rest given to a new process. A slow file is not a stalled one. Exit status 1 when a file was not opened.
#   librecad-open.sh FILE.dxf...
set -uo pipefail
stall="${LIBRECAD_STALL:-10}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work" HOME="$work"

json_string() {
  local s="${1//\\/\\\\}"
  s="${s//\"/\\\"}"
  printf '"%s"' "$s"
}
verdict() {  # file, opened, reason
  if [ "$2" = true ]; then
    printf '{"file": %s, "opened": true}\n' "$(json_string "$1")"
  else
    printf '{"file": %s, "opened": false, "reason": %s}\n' "$(json_string "$1")" "$(json_string "$3")"
    failed=1
  fi
}

failed=0
files=("$@")
while [ ${#files[@]} -gt 0 ]; do
  log="$work/log"
  : > "$log"
  # Printed at its own scale: fitting text to the page makes PDFs of many
  # megabytes, slow to write and of no use to the verdict.
  librecad dxf2pdf -r 72 -t "$work" "${files[@]}" > "$log" 2>&1 &
  pid=$!
  # Ended when it stops making progress: neither its log nor its CPU time grows.
  last=-1
  idle=0
  while kill -0 "$pid" 2> /dev/null; do
    progress="$(stat -c %s "$log") $(awk '{print $14 + $15}' "/proc/$pid/stat" 2> /dev/null)"
    if [ "$progress" = "$last" ]; then
      idle=$((idle + 1))
      if [ "$idle" -ge $((stall * 10)) ]; then
        kill "$pid" 2> /dev/null
        break
      fi
    else
      idle=0
      last=$progress
    fi
    sleep 0.1
  done
  wait "$pid" 2> /dev/null
  stalled=$([ "$idle" -ge $((stall * 10)) ] && echo yes || echo no)
  next=()
  for i in "${!files[@]}"; do
    f="${files[$i]}"
    if grep -qF "Printing \"$f\" to " "$log" && grep -F "Printing \"$f\" to " "$log" | grep -q 'DONE$'; then
      verdict "$f" true
    elif grep -qF "Failed to open document \"$f\"" "$log"; then
      verdict "$f" false "LibreCAD não abriu o arquivo"
    elif [ "$stalled" = yes ]; then
      verdict "$f" false "LibreCAD parou com uma mensagem de erro ao abrir o arquivo"
      next=("${files[@]:$((i + 1))}")
      break
    else
      verdict "$f" false "LibreCAD terminou sem imprimir o arquivo"
    fi
  done
  files=("${next[@]}")
done
exit "$failed"
