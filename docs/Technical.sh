#!/bin/sh
# Opens the technical manual beside this script with the desktop's document viewer, or with a
# viewer found on the path when the desktop has no opener.
manual="$(dirname "$(readlink -f "$0")")/DIZIROVI2015TechnicalManual.pdf"
for viewer in xdg-open evince okular atril qpdfview mupdf zathura; do
    if command -v "$viewer" >/dev/null 2>&1; then
        exec "$viewer" "$manual"
    fi
done
echo "No document viewer found to open $manual" >&2
exit 1
