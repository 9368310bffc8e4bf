#!/usr/bin/env bash
# Installs what is missing, then configures (once) and builds Quarven in build/:
# the program alone, or with --tests everything.
# Safe to run again: apt is called only for missing packages, and the build
# only recompiles what changed.
set -euo pipefail

cd "$(dirname "$0")/.."

# Each package named, not left to another's Recommends, which images install
# without: Qt Charts' CMake files need Qt OpenGL's (libqt6opengl6-dev), which
# qt6-base-dev only recommends.
packages=(cmake g++ make qt6-base-dev libqt6opengl6-dev qt6-charts-dev qt6-svg-dev
    fonts-liberation locales libcsv-dev libzip-dev libexpat1-dev libxlsxwriter-dev scdoc)
if [ "${1:-}" = "--tests" ]; then
    # Validators for the installed desktop entry, metainfo and manual page;
    # an X server for the one test that needs the X11 selection, and xauth,
    # which xvfb-run needs and xvfb only recommends; pdftotext and pdfinfo,
    # which read the printed report back.
    packages+=(desktop-file-utils appstream man-db xvfb xauth poppler-utils)
fi

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

bash scripts/install-missing.sh "${packages[@]}"

# The core's tests also run under a decimal-comma locale.
comma_locale="de_DE.UTF-8"
if ! locale -a 2>/dev/null | grep -qix "de_DE.utf8"; then
    echo "Generating the $comma_locale locale"
    if [ -f /etc/locale.gen ] && grep -q "^# *$comma_locale UTF-8" /etc/locale.gen; then
        as_root sed -i "s/^# *\($comma_locale UTF-8\)/\1/" /etc/locale.gen
        as_root locale-gen
    else
        as_root localedef -i de_DE -f UTF-8 "$comma_locale"
    fi
fi

# The test command treats warnings as errors; starting Quarven keeps whatever
# the build folder was configured with, so the two never rebuild each other.
if [ "${1:-}" = "--tests" ]; then
    if ! grep -qs '^QUARVEN_WERROR:BOOL=ON$' build/CMakeCache.txt; then
        cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARVEN_WERROR=ON
    fi
    cmake --build build -j2
else
    if [ ! -f build/CMakeCache.txt ]; then
        cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
    fi
    # Starting Quarven needs the program and the curve module it loads: the
    # test suite is left to the test command.
    cmake --build build -j2 --target quarven quarven_curve
fi
