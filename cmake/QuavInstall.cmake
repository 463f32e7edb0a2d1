# What `cmake --install` puts in place, and the Debian package CPack builds
# from it (`cpack -G DEB` in the build folder, or the `package` target):
#   bin/quav, bin/quav-cli                       the programs
#   share/applications/quav.desktop             the menu entry, opening .quav files
#   share/mime/packages/quav.xml                the file type application/x-quav
#   share/icons/hicolor/*/{apps,mimetypes}/     the icon, SVG and PNGs drawn from it at build time
#   share/man/man1/quav.1.gz, quav-cli.1.gz     the manual pages
#   share/bash-completion/completions/quav-cli  completion of commands and options
#   share/doc/quav/                             the user manual (HTML) and the examples
include(GNUInstallDirs)

set(packaging ${PROJECT_SOURCE_DIR}/packaging)
set(generated ${PROJECT_BINARY_DIR}/packaging)

# Manual pages, compressed as Debian keeps them.
function(quav_install_man page)
    set(out ${generated}/man/${page}.gz)
    add_custom_command(OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/docs/man/${page}
                ${generated}/man/${page}
        COMMAND gzip -9nf ${generated}/man/${page}
        DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/${page}
        VERBATIM)
    add_custom_target(man_${page} ALL DEPENDS ${out})
    install(FILES ${out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

if(QUAV_BUILD_CLI)
    install(TARGETS quav-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${packaging}/quav-cli.bash
            DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME quav-cli)
    quav_install_man(quav-cli.1)
endif()

if(QUAV_BUILD_GUI)
    install(TARGETS quav RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${packaging}/quav.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${packaging}/quav-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
            RENAME quav.xml)
    quav_install_man(quav.1)

    # The icon: the SVG, and PNGs at the usual sizes rendered from it, as the
    # application's icon and as the icon of its files.
    find_program(RSVG_CONVERT rsvg-convert)
    if(NOT RSVG_CONVERT)
        message(FATAL_ERROR "rsvg-convert renders the icons: install librsvg2-bin "
                            "(scripts/bootstrap.sh)")
    endif()
    set(icons ${generated}/icons)
    set(pngs)
    foreach(size 16 22 24 32 48 64 128 256)
        set(png ${icons}/${size}x${size}/quav.png)
        add_custom_command(OUTPUT ${png}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${icons}/${size}x${size}
            COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${packaging}/quav.svg
            DEPENDS ${packaging}/quav.svg
            VERBATIM)
        list(APPEND pngs ${png})
    endforeach()
    add_custom_target(quav_icons ALL DEPENDS ${pngs})
    set(hicolor ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
    foreach(context apps mimetypes)
        if(context STREQUAL "apps")
            set(name quav)
        else()
            set(name application-x-quav)
        endif()
        install(FILES ${packaging}/quav.svg DESTINATION ${hicolor}/scalable/${context}
                RENAME ${name}.svg)
        foreach(size 16 22 24 32 48 64 128 256)
            install(FILES ${icons}/${size}x${size}/quav.png
                    DESTINATION ${hicolor}/${size}x${size}/${context} RENAME ${name}.png)
        endforeach()
    endforeach()
endif()

set(doc ${CMAKE_INSTALL_DATADIR}/doc/quav)
install(FILES ${PROJECT_SOURCE_DIR}/docs/manual.html ${PROJECT_SOURCE_DIR}/docs/file-format.html
        DESTINATION ${doc})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/images DESTINATION ${doc})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${doc}/examples)

# The Debian package: quav_<version>_amd64.deb, its library dependencies found
# by dpkg-shlibdeps (needs dpkg-dev and file).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quav)
set(CPACK_PACKAGE_VERSION ${QUAV_PRODUCT_VERSION}+${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR QUAV)
set(CPACK_PACKAGE_CONTACT "QUAV developers <quav@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "vibration design of a rigid body on elastic mounts")
set(CPACK_PACKAGE_DESCRIPTION
    "QUAV computes the natural frequencies and mode shapes, static displacements,
harmonic responses and elastic axes of one rigid body on elastic mounts (a
power unit on its engine mounts, for example), and optimises the mounts'
spring rates, positions and angles: a desktop application with a Japanese
user interface and a 3-D view (quav), and a command-line front end for
scripts (quav-cli).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What no linked library names: a Japanese font for the user interface (the
# application asks for Noto Sans CJK JP, any Japanese gothic font will do), the
# icon theme in which the window finds its icon, Qt's own translations (file
# dialogs and Yes/No in Japanese), and xdg-open, with which the manual opens in
# the browser. Qt Charts and Qt SVG are linked, so dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fonts-noto-cjk | fonts-japanese-gothic, hicolor-icon-theme, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR}/package)
include(CPack)
