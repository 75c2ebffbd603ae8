#!/bin/sh
# Opens the technical manual beside this script with a document viewer found on the path, or with
# the desktop's opener. The viewer is left running and the script ends at once: its status says
# whether a viewer was started (1: none found), which the program reports.
manual="$(dirname "$(readlink -f "$0")")/DIZIROVI2015TechnicalManual.pdf"
for viewer in evince okular atril qpdfview mupdf zathura xdg-open; do
    if command -v "$viewer" >/dev/null 2>&1; then
        "$viewer" "$manual" >/dev/null 2>&1 &
        exit 0
    fi
done
echo "No document viewer found to open $manual" >&2
exit 1
