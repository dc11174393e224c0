# What `cmake --install` puts where: the two programs, the menu entry and its icon, the AppStream
# metadata, the manual pages, the bash completion, and the copyright and changelog a Debian
# package carries. The assets live in data/; what follows the program's options is made from
# `mosaiq-cli --help` at build time.
include(GNUInstallDirs)
# Folders made on the way get the usual permissions whatever the build user's umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The desktop id: the menu entry's and AppStream's file names, the icon's name; src/app/main.cpp
# hands the same to QGuiApplication::setDesktopFileName.
set(MOSAIQ_APP_ID fr.mosaiq.Mosaiq)
# The day of the release that project(VERSION) names.
set(MOSAIQ_RELEASE_DATE 2026-12-07)
execute_process(COMMAND date -u -R -d "${MOSAIQ_RELEASE_DATE} 12:00" OUTPUT_VARIABLE MOSAIQ_RELEASE_DATE_RFC
    OUTPUT_STRIP_TRAILING_WHITESPACE)

set(MOSAIQ_DATA ${PROJECT_SOURCE_DIR}/data)
set(MOSAIQ_DATA_OUT ${PROJECT_BINARY_DIR}/data)
set(MOSAIQ_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/mosaiq)

install(TARGETS mosaiq mosaiq-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Menu entry, metadata and icon.
install(FILES ${MOSAIQ_DATA}/${MOSAIQ_APP_ID}.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${MOSAIQ_DATA}/${MOSAIQ_APP_ID}.metainfo.xml.in
    ${MOSAIQ_DATA_OUT}/${MOSAIQ_APP_ID}.metainfo.xml @ONLY)
install(FILES ${MOSAIQ_DATA_OUT}/${MOSAIQ_APP_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 32 48 64 128 256)
    foreach(scale "" "@2")
        set(folder ${size}x${size}${scale})
        if(EXISTS ${MOSAIQ_DATA}/icons/${folder}/mosaiq.png)
            install(FILES ${MOSAIQ_DATA}/icons/${folder}/mosaiq.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${folder}/apps
                RENAME ${MOSAIQ_APP_ID}.png)
        endif()
    endforeach()
endforeach()
install(FILES ${MOSAIQ_DATA}/icons/mosaiq.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${MOSAIQ_APP_ID}.svg)

# Manual pages, compressed, and the completion, made from the help of the mosaiq-cli just built.
configure_file(${MOSAIQ_DATA}/mosaiq.1.in ${MOSAIQ_DATA_OUT}/mosaiq.1 @ONLY)
configure_file(${MOSAIQ_DATA}/debian/changelog.in ${MOSAIQ_DATA_OUT}/changelog @ONLY)
foreach(document mosaiq.1 changelog)
    add_custom_command(OUTPUT ${MOSAIQ_DATA_OUT}/${document}.gz
        COMMAND ${CMAKE_COMMAND} -DINPUT=${MOSAIQ_DATA_OUT}/${document}
            -DOUTPUT=${MOSAIQ_DATA_OUT}/${document}.gz -P ${PROJECT_SOURCE_DIR}/cmake/gzipfile.cmake
        DEPENDS ${MOSAIQ_DATA_OUT}/${document} ${PROJECT_SOURCE_DIR}/cmake/gzipfile.cmake
        VERBATIM)
endforeach()
add_custom_command(OUTPUT ${MOSAIQ_DATA_OUT}/mosaiq-cli.1.gz
    COMMAND ${CMAKE_COMMAND} -DCLI=$<TARGET_FILE:mosaiq-cli>
        -DSCRIPT=${PROJECT_SOURCE_DIR}/cmake/helptoman.awk -DOUTPUT=${MOSAIQ_DATA_OUT}/mosaiq-cli.1.gz
        -DVERSION=${PROJECT_VERSION} -DDATE=${MOSAIQ_RELEASE_DATE}
        -P ${PROJECT_SOURCE_DIR}/cmake/fromhelp.cmake
    DEPENDS mosaiq-cli ${PROJECT_SOURCE_DIR}/cmake/helptoman.awk
        ${PROJECT_SOURCE_DIR}/cmake/fromhelp.cmake ${PROJECT_SOURCE_DIR}/cmake/gzipfile.cmake
    VERBATIM)
add_custom_command(OUTPUT ${MOSAIQ_DATA_OUT}/mosaiq-cli.bash
    COMMAND ${CMAKE_COMMAND} -DCLI=$<TARGET_FILE:mosaiq-cli>
        -DSCRIPT=${PROJECT_SOURCE_DIR}/cmake/helptocompletion.awk
        -DOUTPUT=${MOSAIQ_DATA_OUT}/mosaiq-cli.bash -P ${PROJECT_SOURCE_DIR}/cmake/fromhelp.cmake
    DEPENDS mosaiq-cli ${PROJECT_SOURCE_DIR}/cmake/helptocompletion.awk
        ${PROJECT_SOURCE_DIR}/cmake/fromhelp.cmake
    VERBATIM)
add_custom_target(mosaiq_data ALL
    DEPENDS ${MOSAIQ_DATA_OUT}/mosaiq.1.gz ${MOSAIQ_DATA_OUT}/mosaiq-cli.1.gz
        ${MOSAIQ_DATA_OUT}/mosaiq-cli.bash ${MOSAIQ_DATA_OUT}/changelog.gz)
install(FILES ${MOSAIQ_DATA_OUT}/mosaiq.1.gz ${MOSAIQ_DATA_OUT}/mosaiq-cli.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${MOSAIQ_DATA_OUT}/mosaiq-cli.bash
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME mosaiq-cli)

# What Debian wants beside every package.
install(FILES ${MOSAIQ_DATA}/debian/copyright ${MOSAIQ_DATA_OUT}/changelog.gz
    DESTINATION ${MOSAIQ_DOCDIR})

# The menu entry and the metadata as the desktop's own tools read them.
find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
find_program(APPSTREAMCLI appstreamcli)
# Without the tools (scripts/install-deps.sh installs them) the checks show as skipped.
if(DESKTOP_FILE_VALIDATE)
    add_test(NAME desktop_entry_valid
        COMMAND ${DESKTOP_FILE_VALIDATE} ${MOSAIQ_DATA}/${MOSAIQ_APP_ID}.desktop)
    set_tests_properties(desktop_entry_valid PROPERTIES LABELS core FAIL_REGULAR_EXPRESSION "error:")
else()
    mosaiq_skipped_test(desktop_entry_valid core
        "desktop-file-validate was not found (Debian package desktop-file-utils)")
endif()
if(APPSTREAMCLI)
    add_test(NAME metainfo_valid COMMAND ${APPSTREAMCLI} validate --no-net
        ${MOSAIQ_DATA_OUT}/${MOSAIQ_APP_ID}.metainfo.xml)
    set_tests_properties(metainfo_valid PROPERTIES LABELS core)
else()
    mosaiq_skipped_test(metainfo_valid core "appstreamcli was not found (Debian package appstream)")
endif()
