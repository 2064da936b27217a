# SPDX-License-Identifier: GPL-2.0-or-later
# The Debian package "lumora_VERSION_amd64.deb", made by "cpack -G DEB" in a build folder
# (scripts/package) from what "cmake --install" installs, below /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "hide a message and files behind a picture, under a password")
# The extended description; CPack puts a blank before each line and "." on empty ones.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Lumora hides a text message and up to 100 files behind the bytes of a picture.
The hidden content is packed into a zip archive, encrypted under a password and
appended after the picture, so picture viewers still show the same picture as
before.

The sealed format is the one to choose: its key is derived with Argon2id, so
every password guess costs a second and 256 MiB, and every byte is
authenticated. The classic format, still the default, is right only when the
picture must open in another program that reads it.

The desktop program leads through hiding with a wizard and opens such pictures
again to read and edit the message and the files. The command lumora-cli does
the same from a terminal or a script.")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Lumora developers <maintainers@lumora.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link come from dpkg-shlibdeps; what they load by name or
# only use when present is recommended: Qt's TIFF and WebP readers for the preview, and
# Qt's translations of its own dialogs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-image-formats-plugins, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
