# What `cmake --install` puts where, and the Debian package made from it (`cpack -G DEB` in
# the build folder, or scripts/package.sh).
include(GNUInstallDirs)
# Folders the install makes are 0755 whatever the umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(VEXLO_APP_ID io.github.vexlopro.VexloPro)
set(VEXLO_SHARE_DIR ${CMAKE_INSTALL_DATADIR}/vexlopro)
set(VEXLO_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/vexlopro)
set(res ${CMAKE_SOURCE_DIR}/resources)

# The programs. The executables find share/vexlopro from their own folder, so the prefix
# is not compiled in and the tree may be moved.
install(TARGETS vexlopro-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(VEXLO_GUI)
    install(TARGETS vexlopro RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The read-only files: the default settings copied into each user's folder, the help and the
# samples of the speed test.
install(FILES ${res}/vexlopro.ini ${res}/help.txt ${res}/MSWordTesting.doc ${res}/TextFileTesting.txt
        DESTINATION ${VEXLO_SHARE_DIR})

# The desktop: menu entry, metadata, icons.
install(FILES ${res}/desktop/${VEXLO_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${res}/desktop/${VEXLO_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${res}/desktop/${VEXLO_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 256)
    install(FILES ${res}/desktop/icons/${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${VEXLO_APP_ID}.png)
endforeach()

# Manual pages and the changelog, compressed as Debian wants them (man reads both forms).
find_program(GZIP_PROGRAM gzip REQUIRED)
set(compressed)
foreach(page vexlopro.1 vexlopro-cli.1)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.gz
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
                       COMMAND ${GZIP_PROGRAM} -9nc ${res}/man/${page} > ${CMAKE_BINARY_DIR}/man/${page}.gz
                       DEPENDS ${res}/man/${page})
    list(APPEND compressed ${CMAKE_BINARY_DIR}/man/${page}.gz)
    install(FILES ${CMAKE_BINARY_DIR}/man/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/doc/changelog.gz
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/doc
                   COMMAND ${GZIP_PROGRAM} -9nc ${res}/debian/changelog > ${CMAKE_BINARY_DIR}/doc/changelog.gz
                   DEPENDS ${res}/debian/changelog)
list(APPEND compressed ${CMAKE_BINARY_DIR}/doc/changelog.gz)
add_custom_target(compressed_docs ALL DEPENDS ${compressed})
install(FILES ${CMAKE_BINARY_DIR}/doc/changelog.gz DESTINATION ${VEXLO_DOC_DIR})

# The licences: the program's own, then the WordNet notice the word-forms table needs.
file(READ ${res}/debian/copyright.head copyright)
file(READ ${CMAKE_SOURCE_DIR}/docengine/WORDNET-LICENSE wordnet)
string(FIND "${wordnet}" "Files: *" at)
string(SUBSTRING "${wordnet}" ${at} -1 wordnet)
string(REPLACE "Files: *" "Files: docengine/WordNetExceptions.inc" wordnet "${wordnet}")
file(WRITE ${CMAKE_BINARY_DIR}/doc/copyright "${copyright}${wordnet}")
install(FILES ${CMAKE_BINARY_DIR}/doc/copyright DESTINATION ${VEXLO_DOC_DIR})

# Shell completions for vexlopro-cli.
install(FILES ${res}/completions/vexlopro-cli.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME vexlopro-cli)
install(FILES ${res}/completions/_vexlopro-cli DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
install(FILES ${res}/completions/vexlopro-cli.fish DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vexlopro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Vexlo Pro developers")
set(CPACK_PACKAGE_CONTACT "Vexlo Pro developers <dev@vexlo.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find and replace text in many files at once")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://vexlo.example.org/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its platform plugin and the SVG icon plugins at run time, which dpkg-shlibdeps
# cannot see.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
# The extended description; the summary above is the first line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Vexlo Pro rewrites a whole list of files in one go: gather the files with a
dialog or by scanning folders with a wildcard mask, type what to find and
what to put in its place, and start the run. It has its own line-based text
engine and a second engine that works like a word processor's Replace All.

The package holds the desktop program vexlopro and the command-line program
vexlopro-cli.")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
