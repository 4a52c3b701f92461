# packaging.cmake -- what `cmake --install` puts where, and the Debian package
# (`cpack -G DEB` in the build folder)

set(FLYOVER_SHARED_SCENE_DIR ${CMAKE_INSTALL_FULL_DATADIR}/flyover)
set(FLYOVER_BUILT_SHARE ${PROJECT_BINARY_DIR}/share)

# The demo and the default scene, together: the scene's files lie in
# share/flyover (pictures belong under share/) and the demo's folder links to
# each of them; bin/flyover is a link to the demo.
if(FLYOVER_BUILD_DEMO)
  set(FLYOVER_SCENE_FILES Keys2.txt colour.bmp height.bmp sky.BMP)
  set(links ${PROJECT_BINARY_DIR}/install-links)
  file(MAKE_DIRECTORY ${links}/bin ${links}/private)
  install(TARGETS flyover RUNTIME DESTINATION ${FLYOVER_PRIVATE_DIR})
  foreach(name IN LISTS FLYOVER_SCENE_FILES)
    install(FILES ${PROJECT_BINARY_DIR}/bin/${name} DESTINATION ${CMAKE_INSTALL_DATADIR}/flyover)
    file(CREATE_LINK ../../${CMAKE_INSTALL_DATADIR}/flyover/${name} ${links}/private/${name}
      SYMBOLIC)
    install(FILES ${links}/private/${name} DESTINATION ${FLYOVER_PRIVATE_DIR})
  endforeach()
  file(CREATE_LINK ../${FLYOVER_PRIVATE_DIR}/flyover ${links}/bin/flyover SYMBOLIC)
  install(FILES ${links}/bin/flyover DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(TARGETS flyover-tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Icons, desktop entries, manual pages, completion and documentation.
install(DIRECTORY ${FLYOVER_BUILT_SHARE}/icons DESTINATION ${CMAKE_INSTALL_DATADIR})
configure_file(resources/flyover-fly.desktop.in ${PROJECT_BINARY_DIR}/flyover-fly.desktop @ONLY)
install(FILES resources/flyover.desktop ${PROJECT_BINARY_DIR}/flyover-fly.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${FLYOVER_BUILT_SHARE}/man/flyover-tool.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${FLYOVER_BUILT_SHARE}/man/flyover.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${FLYOVER_BUILT_SHARE}/completion/flyover-tool
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
# Debian keeps a package's changelog gzipped beside its copyright file.
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/changelog.gz
  COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/resources/changelog > ${PROJECT_BINARY_DIR}/changelog.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/resources/changelog)
add_custom_target(flyover_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/changelog.gz)
install(FILES resources/copyright ${PROJECT_BINARY_DIR}/changelog.gz README.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME flyover)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "flyover developers <flyover@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "self-running terrain flight over a height map")
# The long description; CPack puts the summary above it and indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "flyover flies a camera along keyframes over a 256 x 256 height map and draws
every frame column by column, in integers only, on an emulated 16-bit
handheld screen, with distance haze, a scrolling sky and a looping sound. It
is a faithful port of a demo for Windows CE handhelds.

flyover-tool renders single frames, generates landscapes, checks scenes,
measures the renderer, lets you fly a scene by hand and record a path, and
records flights to video, GIF or PNG files.")
# Not "games": Debian puts a game's programs in /usr/games, which is not on
# root's PATH, and flyover-tool is a command of section 1 all the same.
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The package holds what `cmake --install` would put under the configured
# prefix (configure with -DCMAKE_INSTALL_PREFIX=/usr for a Debian package).
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
include(CPack)
