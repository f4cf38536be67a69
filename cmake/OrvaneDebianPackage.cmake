# The Debian package of the whole installation (scripts/package runs cpack -G DEB).
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "orvane-usb-utility")
set(CPACK_PACKAGE_VENDOR "Vorlandix")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "ORVANE USB Utility developers <orvane-usb-utility@vorlandix.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "PC companion for ORVANE cordless telephone handsets")
set(CPACK_PACKAGE_DESCRIPTION
    "The ORVANE USB Utility runs as a resident tray application, notices when
an ORVANE handset is plugged in by USB or taken away, and offers three
utilities through a small launcher: the phonebook (handset entries, .phb
files, CSV, vCard and Outlook contacts), pictures (wallpapers and caller
pictures from image files) and melodies (ring tones from WAVE files).
.
The package also holds orvane-cli, a command-line tool over the same file
formats and device link, a handset emulator library for trying the program
without a handset, and a udev rule that lets the user at the seat open the
handset.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DIRECTORY "${PROJECT_BINARY_DIR}/package")

set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://orvane-usb-utility.vorlandix.example/")
# The libraries the programs and run-time libraries link, as dpkg-shlibdeps finds them;
# besides those, the image format plugins read TIFF pictures (loaded by Qt at run time).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-image-formats-plugins")
# Help pages open in the desktop's browser; the toolkit's own texts (file dialogs, ...)
# follow the chosen language with the Qt translations.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-translations-l10n")
include(CPack)
