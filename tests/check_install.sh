#!/usr/bin/env bash
# Installs into a temporary prefix and validates the desktop entry and the
# AppStream metainfo with the desktop tools, when they are present; checks the
# version in the generated Windows version resource.
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
# The window, curve and report modules where the program looks for them: the
# library folder beside the program's own.
for module in window curve report; do
    found=$(find "$prefix" -name "quarven-$module.so" -path '*/quarven/*')
    [ -n "$found" ] || { echo "missing after install: the $module module"; exit 1; }
done
# The installed program finds its window module there: the window runs until
# it is stopped, where a module not found ends the program at once.
status=0
QT_QPA_PLATFORM=offscreen timeout 5 "$prefix/bin/quarven" 2>"$prefix/window.err" || status=$?
[ "$status" -eq 124 ] ||
    { echo "the installed window did not start (status $status): $(cat "$prefix/window.err")"; exit 1; }
# Given a trial file, the program opens it in the window rather than refusing
# it as a stray argument of the command line.
status=0
QT_QPA_PLATFORM=offscreen timeout 5 "$prefix/bin/quarven" "$(dirname "$0")/../examples/trial.csv" \
    2>"$prefix/window.err" || status=$?
[ "$status" -eq 124 ] ||
    { echo "the window did not start with a trial (status $status): $(cat "$prefix/window.err")"; exit 1; }
grep -q '<release version="5.0.58"' "$prefix/share/metainfo/$id.metainfo.xml" ||
    { echo "metainfo does not carry the project's version"; exit 1; }

rc="$build_dir/app/quarven.rc"
for line in 'FILEVERSION     5,0,0,58' 'PRODUCTVERSION  5,0,0,58' '"FileVersion",      "5.00.0058"' \
    '"ProductVersion",   "5.00.0058"' 'BLOCK "040904B0"' '"Translation", 0x409, 1200'; do
    grep -qF "$line" "$rc" || { echo "Windows version resource lacks: $line"; exit 1; }
done

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
