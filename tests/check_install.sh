#!/usr/bin/env bash
# Installs into a temporary prefix and validates the desktop entry and the
# AppStream metainfo with the desktop tools, when they are present.
set -euo pipefail
build_dir=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build_dir" --prefix "$prefix" >/dev/null
id=io.github.quarven.Quarven
for file in bin/quarven "share/applications/$id.desktop" "share/metainfo/$id.metainfo.xml" \
    share/icons/hicolor/64x64/apps/quarven.png share/icons/hicolor/scalable/apps/quarven.svg; do
    [ -e "$prefix/$file" ] || { echo "missing after install: $file"; exit 1; }
done
grep -q '<release version="5.0.58"' "$prefix/share/metainfo/$id.metainfo.xml" ||
    { echo "metainfo does not carry the project's version"; exit 1; }

if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix/share/applications/$id.desktop"
else
    echo "desktop-file-validate not installed: desktop entry not validated"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml"
else
    echo "appstreamcli not installed: metainfo not validated"
fi
