# The Debian package, built by CPack from the install rules (scripts/package.sh runs it).
set(CPACK_GENERATOR DEB)
# The package installs where the build was told it would be: mosaiq-cli knows its module's folder
# from there when it cannot learn its own place.
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_PACKAGE_NAME mosaiq)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "L'équipe Mosaiq")
set(CPACK_PACKAGE_CONTACT "L'équipe Mosaiq <dev@mosaiq.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn a picture into coloured text for web pages and blogs")
# Each line after the summary is one line of the extended description; "." stands for a blank
# line, as Debian writes it.
set(CPACK_PACKAGE_DESCRIPTION
    "Mosaiq lays a grid over a picture (BMP, JPEG, GIF, PNG, WebP...) and turns
every cell into one character coloured like the picture there, or into a
solid block of that colour. A run writes an HTML page, shown in a preview,
and two codes to paste elsewhere: the HTML code and a bracket-tag code for
blog articles.
.
The window has a French user interface: the size of the result in
characters, a colour tint or grey levels, random or chosen characters, bold,
italic, centred text and the page's background colour. The command
mosaiq-cli does the same from a terminal.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the program loads at run time rather than links: Qt's readers of WebP, TIFF and other
# pictures, Qt's French texts, a sans-serif font to stand in for Verdana, and the platform plugin
# of a Wayland session. The web engine and its helper process come with the libraries.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-image-formats-plugins, qt6-translations-l10n, qt6-wayland, fonts-dejavu-core | fonts-liberation2 | fonts-noto-core")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
