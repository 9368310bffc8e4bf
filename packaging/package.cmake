# The Debian package, made by CPack from the install rules above:
# `cpack -G DEB` in a Release build folder, as scripts/package.sh does. Its
# version is the project's; its dependencies come from the binary through
# dpkg-shlibdeps. No homepage is given: the project has none.
include(GNUInstallDirs)

set(QUARVEN_PACKAGE_MAINTAINER
    "Quarven maintainers <maintainers@users.noreply.c-seed-871d672e.example>"
    CACHE STRING "The Maintainer field of the Debian package and its changelog")

# Debian wants a copyright file and, in a package of its own making (no
# Debian revision), changelog.gz beside it, compressed with gzip -9n.
set(QUARVEN_DOCDIR "${CMAKE_INSTALL_DATADIR}/doc/quarven")
execute_process(COMMAND date -u -R -d "${QUARVEN_RELEASE_DATE}"
                OUTPUT_VARIABLE QUARVEN_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE _date_status)
if(NOT _date_status EQUAL 0)
    message(FATAL_ERROR "date could not read the release date ${QUARVEN_RELEASE_DATE}")
endif()
configure_file("${CMAKE_CURRENT_LIST_DIR}/changelog.in" "${PROJECT_BINARY_DIR}/packaging/changelog"
               @ONLY)
add_custom_command(
    OUTPUT "${PROJECT_BINARY_DIR}/packaging/changelog.gz"
    COMMAND gzip -9n -f -k "${PROJECT_BINARY_DIR}/packaging/changelog"
    DEPENDS "${PROJECT_BINARY_DIR}/packaging/changelog"
    VERBATIM)
add_custom_target(quarven_changelog ALL DEPENDS "${PROJECT_BINARY_DIR}/packaging/changelog.gz")
install(FILES "${CMAKE_CURRENT_LIST_DIR}/copyright" "${PROJECT_BINARY_DIR}/packaging/changelog.gz"
        DESTINATION "${QUARVEN_DOCDIR}")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quarven)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "estimate potato yield losses caused by early and late blight")
# Paragraphs are separated by an empty line; CPack indents them for dpkg.
set(CPACK_PACKAGE_DESCRIPTION
"Quarven estimates the share of a potato crop's yield lost to foliar blight
(early and late blight) from a series of field assessments of the foliage,
each a date and the percentage of foliage infected. It integrates the disease
progress curve by the trapezoidal rule into the AUDPC and divides it by the
tuberization period, which comes from a maturity group, a number of days, or
the days from budding to a premature desiccation.

Besides the calculator window, quarven --batch computes every plot of a field
trial file (CSV, in a long or a wide layout) with no window and no display.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUARVEN_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
