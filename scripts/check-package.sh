#!/usr/bin/env bash
# Installs the package that scripts/package.sh built with apt, as a user
# would, checks the installed program and that its files are where the desktop
# and man look for them, then purges it. The machine is left as it was found,
# also when a check fails: a trap purges quarven and whatever its installation
# brought in.
#
#   bash scripts/check-package.sh [PACKAGE.deb]
#
# Installs what is missing with apt (through sudo when not root).
set -euo pipefail

cd "$(dirname "$0")/.."
source=$PWD

bash scripts/install-missing.sh desktop-file-utils appstream man-db file dpkg-dev

if [ "$#" -gt 0 ]; then
    deb=$1
else
    packages=(build-package/quarven_*.deb)
    [ "${#packages[@]}" -eq 1 ] && [ -f "${packages[0]}" ] ||
        { echo "no single build-package/quarven_*.deb: run scripts/package.sh" >&2; exit 1; }
    deb=${packages[0]}
fi
deb=$(realpath "$deb")
version=$(dpkg-deb --field "$deb" Version)

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
apt_get() { "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -y -q "$@"; }
known() { dpkg-query -W "$1" >/dev/null 2>&1; }

# A quarven installed before this check is someone's own: leave it alone.
if known quarven; then
    echo "quarven is already installed (or its configuration is left): remove it first" >&2
    dpkg -l quarven >&2
    exit 1
fi

# What apt will bring in besides quarven, to purge it again afterwards.
brought_in=$(cd "$(dirname "$deb")" && apt-get -s install "./$(basename "$deb")" |
    awk '$1 == "Inst" && $2 != "quarven" { print $2 }')

id=io.github.quarven.Quarven
files=(
    /usr/bin/quarven
    "/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/quarven/quarven-window.so"
    "/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/quarven/quarven-curve.so"
    "/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/quarven/quarven-report.so"
    "/usr/share/applications/$id.desktop"
    "/usr/share/metainfo/$id.metainfo.xml"
    /usr/share/icons/hicolor/64x64/apps/quarven.png
    /usr/share/icons/hicolor/scalable/apps/quarven.svg
    /usr/share/man/man1/quarven.1.gz
    /usr/share/doc/quarven/copyright
    /usr/share/doc/quarven/changelog.gz
)

work=$(mktemp -d)
cleanup() {
    local status=$?
    if known quarven; then
        echo "== purging quarven after a failure"
        apt_get purge quarven || status=1
    fi
    for package in $brought_in; do
        if known "$package"; then
            apt_get purge "$package" || status=1
        fi
    done
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

failed=0
fail() { echo "FAILED: $*" >&2; failed=1; }

echo "== apt-get install ./$(basename "$deb")${brought_in:+ (bringing in: ${brought_in//$'\n'/ })}"
(cd "$(dirname "$deb")" && apt_get install "./$(basename "$deb")")
dpkg-query -W -f='${Status} ${Version}\n' quarven | grep -qx "install ok installed $version" ||
    fail "dpkg does not hold quarven $version as installed"

echo "== the installed program"
[ "$(command -v quarven)" = /usr/bin/quarven ] || fail "quarven on PATH is '$(command -v quarven)'"
printed=$(quarven --version)
[ "$printed" = "Quarven $version" ] || fail "quarven --version printed '$printed'"
echo "quarven --version: $printed"

# The README's run on the example, from the installed binary and with no
# display: one plot is refused by design, so the status is 1.
# (the results shown after that run's own command, not another example's).
expected=$(awk '/^\$ quarven --batch examples\/trial.csv --output results.csv/ { run = 1; next }
                run && /^\$ cat results.csv$/ { take = 1; next }
                take && /^\$ / { exit }
                take { print }' README.md)
[ -n "$expected" ] || fail "README.md holds no results after '\$ cat results.csv'"
status=0
(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM quarven \
    --batch "$source/examples/trial.csv" --output results.csv 2>stderr.txt) || status=$?
[ "$status" -eq 1 ] || fail "quarven --batch examples/trial.csv exited with $status, not 1"
[ ! -s "$work/stderr.txt" ] || fail "quarven --batch wrote to standard error: $(cat "$work/stderr.txt")"
if [ "$(cat "$work/results.csv" 2>/dev/null)" = "$expected" ]; then
    echo "quarven --batch examples/trial.csv: status 1, the README's results"
else
    fail "the results of examples/trial.csv differ from the README's:"
    diff <(echo "$expected") "$work/results.csv" >&2 || true
fi

# The window comes from its module in the library folder: it runs until it is
# stopped, where a module not found ends the program at once.
status=0
QT_QPA_PLATFORM=offscreen timeout 5 quarven 2>"$work/window.txt" || status=$?
if [ "$status" -eq 124 ]; then
    echo "quarven: the window started from its module"
else
    fail "the installed window did not start (status $status): $(cat "$work/window.txt")"
fi

echo "== where the desktop and man find the files"
for file in "${files[@]}"; do
    [ -f "$file" ] || fail "missing: $file"
done
shipped=$(dpkg -L quarven | while IFS= read -r path; do [ -d "$path" ] || echo "$path"; done | sort)
[ "$shipped" = "$(printf '%s\n' "${files[@]}" | sort)" ] ||
    fail "the package's files are not the expected ones:"$'\n'"$shipped"

desktop=/usr/share/applications/$id.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
grep -qx 'Exec=quarven %f' "$desktop" || fail "$desktop does not start quarven with the file opened"
grep -qx 'Icon=quarven' "$desktop" || fail "$desktop does not name the icon quarven"
file --brief /usr/share/icons/hicolor/64x64/apps/quarven.png | grep -q '^PNG image data, 64 x 64' ||
    fail "the 64x64 icon is not a 64 x 64 PNG"
file --brief /usr/share/icons/hicolor/scalable/apps/quarven.svg | grep -q '^SVG' ||
    fail "the scalable icon is not an SVG"

metainfo=/usr/share/metainfo/$id.metainfo.xml
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate $metainfo"
grep -q "<release version=\"$version\"" "$metainfo" || fail "$metainfo lacks release $version"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "$metainfo does not launch $id.desktop"

page=$(man -w quarven 2>/dev/null || true)
[ "$page" = /usr/share/man/man1/quarven.1.gz ] || fail "man -w quarven gives '$page'"
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings quarven 2>&1 >/dev/null) ||
    fail "man quarven failed"
[ -z "$warnings" ] || fail "man --warnings quarven: $warnings"
LC_ALL=C.UTF-8 MANWIDTH=80 man quarven 2>/dev/null | grep -q "^ *quarven --batch TRIAL" ||
    fail "man quarven does not show the batch command"

echo "== apt-get purge quarven"
apt_get purge quarven
! known quarven || fail "dpkg still knows quarven: $(dpkg -l quarven | tail -1)"
for file in "${files[@]}"; do
    [ ! -e "$file" ] || fail "left after the purge: $file"
done

[ "$failed" -eq 0 ] || exit 1
echo "package installed, checked and purged: $(basename "$deb")"
