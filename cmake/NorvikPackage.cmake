# A Debian package through CPack: `cpack -G DEB` in the build tree (make package).
# Dependencies are computed with dpkg-shlibdeps from the installed binary.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME norvik)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The norvik developers <norvik@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "programmer's calculator for 32-bit integers")
set(CPACK_PACKAGE_DESCRIPTION
    "norvik is a small desktop calculator that works on 32-bit integers in binary,
octal, decimal and hexadecimal. Operators apply one after another without
precedence; a signedness key switches division, remainder and right shift
between the unsigned and the two's-complement reading. Every key has a
keyboard shortcut.")
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://norvik.example.org")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
include(CPack)
