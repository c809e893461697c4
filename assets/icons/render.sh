#!/usr/bin/env bash
# Renders the icon's PNG sizes for the hicolor theme from the SVG (needs rsvg-convert, package
# librsvg2-bin). The PNGs are kept in the repository, so building needs no SVG renderer.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "hicolor/${size}x${size}/apps"
  rsvg-convert -w "$size" -h "$size" org.vellomar.Vellomar.svg \
    -o "hicolor/${size}x${size}/apps/org.vellomar.Vellomar.png"
done
