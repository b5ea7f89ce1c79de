#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 The Vrillo developers
# Makes the program's pictures in this folder:
#   background.jpg  460 x 345, behind both windows
#   button.jpg      343 x 98, stretched onto every command button
#   banner.jpg      270 x 48, the title banner
#   vrillo.ico      window icon, 32 x 32 and 16 x 16, 16 colours each
#   small.ico       the small icon beside the settings buttons, same form
# and the window icon for the desktop's menus and software centres: its two
# sizes as PNG, vrillo-32.png and vrillo-16.png, the same box drawn anew at
# 48, 64, 128 and 256 pixels, vrillo-48.png to vrillo-256.png, and scalable,
# vrillo.svg.
#
# Run it from any directory, e.g. from the top of the source tree:
#   sh resources/make_pictures.sh
# It needs python3, ImageMagick's convert and the DejaVu Serif Bold Italic
# font (Debian 12: apt-get install python3 imagemagick fonts-dejavu-extra).
# The build does not run it: the pictures it makes are kept in the tree.
# Nothing is random and nothing is fetched, so with the same ImageMagick and
# font it makes the same bytes again.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 "$here/make_pictures.py" "$here" "$work"

# Plain baseline JPEGs without metadata, so the files depend only on the pixels.
# jpeg OUTPUT INPUT [convert operations...]
jpeg() {
    out=$1
    shift
    convert "$@" -strip -sampling-factor 1x1 -quality 92 -interlace none "$out"
}

jpeg "$here/background.jpg" "$work/background.ppm"
jpeg "$here/button.jpg" "$work/button.ppm"

title_font=/usr/share/fonts/truetype/dejavu/DejaVuSerif-BoldItalic.ttf
jpeg "$here/banner.jpg" "$work/banner.ppm" \
    -font "$title_font" -pointsize 27 \
    -fill '#062a34' -annotate +53+35 'The Vrillo' \
    -fill '#fbf6e8' -annotate +52+34 'The Vrillo'

# Desktop menus take PNG icons, not ICO: the installed program's icon theme
# gets both sizes of the window icon.
convert "$here/vrillo.ico[0]" -strip "$here/vrillo-32.png"
convert "$here/vrillo.ico[1]" -strip "$here/vrillo-16.png"
