# `make deb`: a Debian package of the installed tree, made by CPack from the build folder (no
# rebuild): the program, the segmentation model, the menu entry, the icon, the AppStream description
# and the project file type, with the documentation files Debian asks for. The libraries the program
# links are found by dpkg-shlibdeps; what it loads at run time is named here.
set(QUINTAREL_PACKAGE_MAINTAINER "Quintarel developers <quintarel@example.org>"
    CACHE STRING "Maintainer of the Debian package")

# The files Debian asks every package to carry: its copyright, its change log and a manual page, compressed
# without a time stamp so that the package is the same from one build to the next.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(changelog "${PROJECT_BINARY_DIR}/packaging/changelog.gz")
add_custom_command(OUTPUT "${changelog}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${PROJECT_BINARY_DIR}/packaging"
    COMMAND ${GZIP_PROGRAM} -9 -n -c "${PROJECT_SOURCE_DIR}/data/changelog" > "${changelog}"
    DEPENDS "${PROJECT_SOURCE_DIR}/data/changelog"
    VERBATIM)
set(manual "${PROJECT_BINARY_DIR}/packaging/quintarel.1.gz")
add_custom_command(OUTPUT "${manual}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${PROJECT_BINARY_DIR}/packaging"
    COMMAND ${GZIP_PROGRAM} -9 -n -c "${PROJECT_SOURCE_DIR}/data/quintarel.1" > "${manual}"
    DEPENDS "${PROJECT_SOURCE_DIR}/data/quintarel.1"
    VERBATIM)
add_custom_target(quintarel_documents ALL DEPENDS "${changelog}" "${manual}")
install(FILES data/copyright "${changelog}" DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quintarel)
install(FILES "${manual}" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quintarel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${QUINTAREL_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "capture stills from a video and turn them into annotated cut-outs")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Quintarel pulls still images out of a video and turns them into documented
cut-outs. Move through a video frame by frame or by one-second steps and
capture the frames you need into named groups; the foreground subject of
every capture is lifted out automatically by a segmentation model. Refine
the edge, choose a drawing style, draw arrows, lines and ellipses, write
notes and export transparent images with a Markdown description per group.")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Installed under DESTDIR into /usr: the install step then leaves the file type and menu databases
# to the triggers of the target machine instead of writing them into the package.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# gzip: zstd would pack several times faster, but Debian's checks do not accept it yet.
set(CPACK_DEBIAN_COMPRESSION_TYPE gzip)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so not found by dpkg-shlibdeps: the window system's platform plugins, the
# SVG icon engine, the WebP image plugin, the icon theme the symbols are drawn from, and the typeface
# the words of annotations are drawn in.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, libqt6svg6, qt6-image-formats-plugins, adwaita-icon-theme, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
# Directories of the package as Debian wants them, whatever the umask of the build.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
