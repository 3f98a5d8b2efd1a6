# The Debian package: `cpack` (or the `package` target) in a build tree of
# the release preset makes vandrel1_<version>_<arch>.deb from what
# `cmake --install` lays out. Tests and benchmarks install nothing.
set(VANDREL_PACKAGE_MAINTAINER "Vandrel1 maintainers <vandrel1@ostmerin.invalid>"
    CACHE STRING "Maintainer field of the Debian package")

# The change log's newest entry must carry the project's version.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog _changelog_top LIMIT_COUNT 1)
if(NOT _changelog_top MATCHES "^vandrel1 \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog starts with '${_changelog_top}': "
                      "add an entry for version ${PROJECT_VERSION}")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vandrel1)
set(CPACK_PACKAGE_VENDOR Ostmerin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VANDREL_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds its display plugins at run time; no library names that package.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"in-circuit programmer for PIC microcontrollers on a serial port
Vandrel1 programs PIC microcontrollers with 14-bit program words (such as
the PIC16F84A and PIC16F627A/628A/648A) in circuit. The PC itself clocks the
chip's serial programming protocol through a COM port's modem-control lines
and a logic-free adapter: RTS is the clock, DTR the data to the chip, CTS the
data from the chip, and the break state holds the chip in reset.
.
It erases, writes with read-back and verifies program memory, the
configuration area and data EEPROM from an Intel HEX file, and dumps memory
ranges. The package has the window (vandrel1) and a command-line program
for scripts (vandrel1-cli), both with a simulated adapter and chip for
trying them without hardware.
.
The command-line program also drives the adapter through an FT232R USB
serial cable in synchronous bit-bang mode (libftdi), many line changes to a
USB transfer, at close to the chip's own speed; a udev rule lets the group
plugdev use such cables.")

include(CPack)
