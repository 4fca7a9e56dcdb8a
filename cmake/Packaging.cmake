# The Debian package, built by `cpack` in a build folder (cpack -G DEB): the install rules of
# cmake/Install.cmake under /usr, with the shared libraries the programs really link found by
# dpkg-shlibdeps. What the binary loads at run time without linking it is named by hand.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quarn)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(QUARN_PACKAGE_MAINTAINER "Quarn developers <quarn@example.org>" CACHE STRING
    "Maintainer field of the Debian package: whoever publishes it")
set(CPACK_PACKAGE_CONTACT "${QUARN_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control panel for a digitally controlled model railway")
# The long description; CPack puts the summary above it and indents every line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quarn draws a model railway's track layout on a grid of tiles, gives
turnouts and signals their decoder addresses and detectors their S88
contacts, records routes and operates the railway: turnouts switch on
screen and on the tracks, occupied sections light up as feedback arrives,
one click sets a whole route, and ten locos are driven from on-screen
throttles, game controllers or WiThrottle phones.
.
It talks over TCP to a railway server speaking SRCP 0.7.3 or SRCP 0.8.
The package includes srcp-sim, a simulated railway server with a demo
train, to try everything without a layout.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # quarn_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds its window-system plugin (xcb, wayland) at run time; Debian ships them apart from the
# libraries the binary links.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# The help opens in the desktop's browser through xdg-open; the standard buttons and file dialogs
# in the user's language come from Qt's translations.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
