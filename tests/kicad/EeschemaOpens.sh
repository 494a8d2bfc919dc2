#!/bin/bash
# Opens the KiCad schematics of the three circuits (NPN and PNP) in KiCad's
# own schematic editor under Xvfb: each must load, which KiCad shows by
# naming the file in the window title; a file it cannot read brings up a
# window titled "Error" naming the line. KiCad has no command-line reader
# of schematics in version 6, so this is the only way to ask it.
#   EeschemaOpens.sh <norvane-cli>
# Exits 77 (skipped) where KiCad's editor, Xvfb or xwininfo is missing.
set -u
cli=$1

# --open <file> (run under Xvfb): 0 when the editor shows the file, 1 on
# an error window or after 120 s.
if [ "$cli" = --open ]; then
    file=$2
    name=$(basename "$file" .kicad_sch)
    eeschema "$file" > "$file.log" 2>&1 &
    editor=$!
    result=1
    for _ in $(seq 120); do
        sleep 1
        windows=$(xwininfo -root -tree 2> /dev/null)
        if grep -q '"Error"' <<< "$windows"; then
            echo "$file: KiCad shows an error window"
            break
        fi
        if grep -q "\"$name \[.*Schematic Editor\"" <<< "$windows"; then
            result=0
            break
        fi
    done
    kill "$editor" 2> /dev/null
    wait "$editor" 2> /dev/null
    exit $result
fi

for need in "eeschema:kicad" "xvfb-run:xvfb" "xwininfo:x11-utils"; do
    if ! command -v "${need%%:*}" > /dev/null; then
        echo "skipped: ${need%%:*} is not installed (Debian package ${need##*:})"
        exit 77
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A configuration of its own, so that no first-start dialog waits for an
# answer and the user's settings stay untouched.
export HOME=$work XDG_CONFIG_HOME=$work/config
config=$XDG_CONFIG_HOME/kicad/6.0
mkdir -p "$config"
echo '{"environment": {"show_warning_dialog": false}}' > "$config/kicad_common.json"
printf '(sym_lib_table\n)\n' > "$config/sym-lib-table"
printf '(fp_lib_table\n)\n' > "$config/fp-lib-table"

failed=0
for circuit in ce cb cc; do
    for transistor in BC548B BC558B; do
        file=$work/$circuit-$transistor.kicad_sch
        if ! "$cli" design "$circuit" --transistor "$transistor" --kicad "$file" > "$work/cli.out"; then
            echo "norvane-cli could not write $file"
            failed=1
            continue
        fi
        if xvfb-run -a -s "-screen 0 1280x720x24" bash "$0" --open "$file"; then
            echo "$circuit $transistor: opened"
        else
            failed=1
        fi
    done
done
exit $failed
