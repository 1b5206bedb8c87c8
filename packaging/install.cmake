# What `cmake --install` puts where, and the Debian package CPack builds from
# the same install rules (cpack --config CPackConfig.cmake in the build
# directory packages what is built there; it does not build the tree again).
include(GNUInstallDirs)

# The icon: the SVG is the one drawing; the PNG sizes are rendered from it.
add_executable(make_icon_png packaging/make_icon_png.cpp)
target_link_libraries(make_icon_png PRIVATE Qt6::Gui)
set(HOPWATCH_ICON_SVG ${CMAKE_CURRENT_SOURCE_DIR}/packaging/hopwatch.svg)
set(HOPWATCH_ICON_PNGS)
foreach(size 16 22 24 32 48 64 128 256)
  set(png ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}x${size}/hopwatch.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}x${size}
    COMMAND make_icon_png ${HOPWATCH_ICON_SVG} ${size} ${png}
    DEPENDS make_icon_png ${HOPWATCH_ICON_SVG}
    COMMENT "Rendering the ${size}x${size} icon" VERBATIM)
  list(APPEND HOPWATCH_ICON_PNGS ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(hopwatch_icons ALL DEPENDS ${HOPWATCH_ICON_PNGS})

install(TARGETS hopwatch RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${HOPWATCH_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES packaging/org.hopwatch.Hopwatch.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/org.hopwatch.Hopwatch.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES packaging/hopwatch.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The collector service as a systemd user unit; systemd looks in
# <prefix>/lib/systemd/user for /usr and /usr/local alike.
install(FILES packaging/hopwatch.service DESTINATION lib/systemd/user)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME hopwatch)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "link monitor for packet-radio digipeaters")
set(CPACK_PACKAGE_DESCRIPTION
  "hopwatch calls up to four packet-radio digipeaters at a set interval, keeps a history of\n"
  "their link reports and draws it; it runs as a desktop program or as a collector service.")
set(CPACK_PACKAGE_CONTACT "hopwatch maintainers <hopwatch@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# A cross build (packaging/arm64-toolchain.cmake) is packaged for the
# processor it was built for, not for the machine that built it.
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR STREQUAL "aarch64")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
endif()
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
# Debian 12's package names for what the program links and loads: Qt's
# widgets, the HTTP server of the metrics endpoint with its network library,
# and the platform plugins that open the window (packaging_test.sh checks
# that every library the program is linked with is among them).
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libc6 (>= 2.36), libstdc++6 (>= 12), libgcc-s1, libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6network6 (>= 6.4), libqt6httpserver6 (>= 6.4), qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "direwolf")
include(CPack)
