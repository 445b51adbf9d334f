#!/usr/bin/env bash
# Makes ycck-patches.jpg and prints the reference colours that tst_pictures compares with:
# LittleCMS (transicc) for the ICC-tagged pictures, ImageMagick's own reading for the CMYK one.
# Needs imagemagick, liblcms2-utils, icc-profiles-free and libgs-common (ghostscript).
set -euo pipefail
cd "$(dirname "$0")"
stored=('61 170 91' '200 60 40' '120 120 200' '230 200 150')

args=()
for colour in "${stored[@]}"; do args+=(-size 32x32 "xc:rgb(${colour// /,})"); done
convert "${args[@]}" +append -colorspace CMYK -quality 95 ycck-patches.jpg
echo "ycck-patches.jpg read by ImageMagick:"
convert ycck-patches.jpg -colorspace sRGB -depth 8 \
  -format '%[pixel:p{16,16}] %[pixel:p{48,16}] %[pixel:p{80,16}] %[pixel:p{112,16}]\n' info:

for profile in /usr/share/color/icc/ghostscript/rommrgb.icc \
  /usr/share/color/icc/compatibleWithAdobeRGB1998.icc; do
  echo "$profile to sRGB, relative colorimetric:"
  printf '%s\n' "${stored[@]}" | transicc -i"$profile" -o'*sRGB' -t1 -s -q -v0 | grep -v '^[A-Z]'
done
