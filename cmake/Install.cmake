# What `cmake --install` puts where, the manual pages, and the Debian package
# (`cpack -G DEB`). Included at the end of the top-level CMakeLists.txt, once
# every program target exists.
include(GNUInstallDirs)

set(TORVIX_DATA_DIR ${PROJECT_SOURCE_DIR}/data)

# ---- Programs ------------------------------------------------------------------
install(TARGETS torvix-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET torvix)
  install(TARGETS torvix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# ---- Desktop integration: menu entry, icon, the .nltrack file type ------------
if(TARGET torvix)
  install(FILES ${TORVIX_DATA_DIR}/torvix.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(DIRECTORY ${TORVIX_DATA_DIR}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons
          FILES_MATCHING PATTERN "torvix.png")
  install(FILES ${TORVIX_DATA_DIR}/torvix-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
          RENAME torvix.xml)
endif()

# The icons in data/icons/hicolor are drawn by this program (Qt painting, no
# window): draw_icon data/icons/hicolor
if(TORVIX_BUILD_APP)
  find_package(Qt6 COMPONENTS Gui QUIET)
  if(Qt6Gui_FOUND)
    add_executable(draw_icon EXCLUDE_FROM_ALL ${TORVIX_DATA_DIR}/icons/draw_icon.cpp)
    target_link_libraries(draw_icon PRIVATE Qt6::Gui)
  endif()
endif()

# ---- Manual pages, made from the programs' own --help and --version ------------
find_program(TORVIX_HELP2MAN help2man)
find_program(TORVIX_GZIP gzip)
if(TORVIX_HELP2MAN AND TORVIX_GZIP AND NOT CMAKE_CROSSCOMPILING)
  set(man_pages)
  foreach(program torvix-cli torvix)
    if(NOT TARGET ${program})
      continue()
    endif()
    if(program STREQUAL "torvix")
      set(summary "rebuild a NoLimits roller-coaster track around the riders' heartline")
    else()
      set(summary "heartline banking for NoLimits tracks from the command line")
    endif()
    set(page ${CMAKE_CURRENT_BINARY_DIR}/man/${program}.1)
    add_custom_command(
      OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
      COMMAND ${TORVIX_HELP2MAN} --no-info --no-discard-stderr --section=1 "--name=${summary}"
              --include=${TORVIX_DATA_DIR}/${program}.h2m --output=${page} $<TARGET_FILE:${program}>
      COMMAND ${TORVIX_GZIP} -9nf ${page}
      DEPENDS ${program} ${TORVIX_DATA_DIR}/${program}.h2m
      COMMENT "Writing the manual page of ${program}"
      VERBATIM)
    list(APPEND man_pages ${page}.gz)
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${man_pages})
  install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# ---- Documents -----------------------------------------------------------------
# share/doc/<package name>, as Debian has it (CMAKE_INSTALL_DOCDIR would say "Torvix").
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/torvix)
# The README's links lead into docs/: the guides go beside it (the pictures stay in the source).
file(GLOB doc_pages CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/*.md)
install(FILES ${doc_pages} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/torvix/docs)

# ---- The Debian package ----------------------------------------------------------
set(CPACK_PACKAGE_NAME torvix)
set(CPACK_PACKAGE_VENDOR "The Torvix developers")
set(CPACK_PACKAGE_CONTACT "The Torvix developers <torvix@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "heartline banking for NoLimits roller-coaster tracks")
set(CPACK_PACKAGE_DESCRIPTION
    "Torvix loads a NoLimits track file, treats its spline as the path of the riders' hearts, banks the track so that the riders are pressed straight into their seats and fits a new spline on the rails. It comes as a window (torvix) and a command-line program (torvix-cli).")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies come from the libraries the programs link (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The menu, icon cache and MIME database are refreshed by the triggers of
# desktop-file-utils, hicolor-icon-theme and shared-mime-info; nothing to run here.
# librsvg is opened at run time for PNG plots (`torvix-cli ride --plot x.png`),
# so dpkg-shlibdeps cannot see it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "hicolor-icon-theme, shared-mime-info, desktop-file-utils, librsvg2-2")
include(CPack)
