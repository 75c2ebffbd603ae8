#!/bin/sh
# Opens the technical manual beside this script with the desktop's document viewer.
exec xdg-open "$(dirname "$(readlink -f "$0")")/DIZIROVI2015TechnicalManual.pdf"
