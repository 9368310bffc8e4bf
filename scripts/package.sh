#!/usr/bin/env bash
# Builds the Debian package quarven_<version>_<arch>.deb in build-package/
# (Release, Debian's hardening flags, no test suite), checks its control
# fields and runs lintian on it: any lintian error or warning fails.
#
#   bash scripts/package.sh
#
# Prints the package's path on its last line. Installs what is missing with
# apt (through sudo when not root).
set -euo pipefail

cd "$(dirname "$0")/.."

# dpkg-dev: dpkg-shlibdeps and dpkg-buildflags; file: CPack finds the
# binaries to strip and to scan with it.
bash scripts/install-missing.sh cmake g++ make qt6-base-dev libqt6opengl6-dev qt6-charts-dev qt6-svg-dev \
    libcsv-dev libzip-dev libexpat1-dev libxlsxwriter-dev scdoc dpkg-dev file lintian

if [ ! -f build-package/CMakeCache.txt ]; then
    # The flags Debian builds its own packages with, every hardening on:
    # fortify, stack protector, PIE, full RELRO with immediate binding. The
    # prefix gives the window and curve modules their multiarch folder,
    # /usr/lib/<triplet>.
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
        LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
        cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DQUARVEN_TESTS=OFF \
        -DQUARVEN_MAN_PAGE=ON -DCMAKE_INSTALL_PREFIX=/usr
fi
cmake --build build-package -j2
rm -f build-package/quarven_*.deb
(cd build-package && cpack -G DEB)

packages=(build-package/quarven_*.deb)
[ "${#packages[@]}" -eq 1 ] && [ -f "${packages[0]}" ] ||
    { echo "cpack made no single quarven_*.deb" >&2; exit 1; }
deb=${packages[0]}

# The package against the program it carries: name, version and file name.
version=$(build-package/app/quarven --version | sed -n 's/^Quarven //p')
arch=$(dpkg --print-architecture)
[ "$deb" = "build-package/quarven_${version}_${arch}.deb" ] ||
    { echo "$deb is not named quarven_${version}_${arch}.deb" >&2; exit 1; }
field() { dpkg-deb --field "$deb" "$1"; }
failed=0
expect() { # FIELD VALUE
    [ "$(field "$1")" = "$2" ] || { echo "$1: '$(field "$1")', not '$2'" >&2; failed=1; }
}
expect Package quarven
expect Version "$version"
expect Architecture "$arch"
expect Section science
[ -n "$(field Maintainer)" ] || { echo "no Maintainer" >&2; failed=1; }
[ -z "$(field Homepage)" ] || { echo "a Homepage: $(field Homepage)" >&2; failed=1; }
# dpkg-shlibdeps ran: the libraries the binary and the two modules link are
# named, with versions.
depends=$(field Depends | tr ',' '\n' | sed 's/^ *//')
for library in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libcsv3 libqt6charts6 \
    libqt6svg6; do
    awk -v want="$library (>= " 'index($0, want) == 1 { found = 1 } END { exit !found }' \
        <<<"$depends" || { echo "Depends lacks $library: $(field Depends)" >&2; failed=1; }
done
[ "$failed" -eq 0 ] || exit 1

echo "== dpkg-deb --info and --contents"
dpkg-deb --info "$deb"
dpkg-deb --contents "$deb"

echo "== lintian"
lintian --info --fail-on error,warning "$deb"
echo "lintian: no errors, no warnings"
echo "$deb"
