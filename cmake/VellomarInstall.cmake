# Installing Vellomar (`cmake --install BUILD [--prefix DIR]`, DESTDIR honoured) and packaging it
# for Debian (`cpack -G DEB` in the build folder). The layout follows GNUInstallDirs and the
# freedesktop conventions:
#   bin/                          vellomar and the command-line tools
#   share/vellomar/Samples        the first-run samples
#   share/vellomar/GettingStarted the Getting Started page
#   share/applications            the desktop entry (menus, "open with")
#   share/icons/hicolor           the icon, as SVG and PNG sizes
#   share/mime/packages           the binder and isolated-tab file types
#   share/metainfo                the AppStream description (software centres)
# The program finds its data relative to its own folder (VL_DATA_FROM_BIN), so a copy installed
# into any prefix works without being told where it lives.

set(VL_APP_ID org.vellomar.Vellomar)
set(VL_ASSETS "${PROJECT_SOURCE_DIR}/assets")

foreach(program vellomar vlnotes vlaudio vltrack vleditor)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

install(DIRECTORY "${VL_ASSETS}/GettingStarted" DESTINATION ${VL_INSTALL_DATA})
install(FILES "${VL_ASSETS}/desktop/${VL_APP_ID}.desktop"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES "${VL_ASSETS}/metainfo/${VL_APP_ID}.metainfo.xml"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES "${VL_ASSETS}/mime/vellomar.xml" RENAME ${VL_APP_ID}.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES "${VL_ASSETS}/icons/${VL_APP_ID}.svg"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(DIRECTORY "${VL_ASSETS}/icons/hicolor/" DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor
        FILES_MATCHING PATTERN "*.png")

# The Debian package. The dependencies are the runtime packages of Debian 12 that hold the
# libraries the program and tools link against, Qt's X11 platform plugin, and the fonts the notes
# are drawn with.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vellomar)
set(CPACK_PACKAGE_VENDOR "Vellomar")
set(CPACK_PACKAGE_CONTACT "Vellomar developers <developers@vellomar.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "notes typed while recording, each character at its moment")
set(CPACK_PACKAGE_DESCRIPTION
    "Vellomar is a program for taking notes while recording audio. Every character typed \
remembers the moment of the recording it belongs to: move through the notes and the timelines \
follow, pick a moment on a timeline and the notes typed then come into view, and play from the \
moment any sentence was written.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(vl_deb_depends
    "libc6 (>= 2.36)" "libgcc-s1" "libstdc++6 (>= 12)"
    "libqt6core6 (>= 6.4)" "libqt6gui6 (>= 6.4)" "libqt6widgets6 (>= 6.4)" "libqt6dbus6 (>= 6.4)"
    "libqt6network6 (>= 6.4)" "qt6-qpa-plugins"
    "libpulse0" "libsndfile1 (>= 1.2)" "libsoundtouch1" "libjpeg62-turbo" "libhunspell-1.7-0"
    "fonts-dejavu-core" "fonts-liberation2" "fonts-comic-neue")
list(JOIN vl_deb_depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
# Opening the Getting Started page and folders in the desktop's programs; the sound server.
# Spelling in the user's language: a Hunspell dictionary (American English unless another is there).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, pulseaudio | pipewire-pulse, hunspell-en-us | hunspell-dictionary")
include(CPack)
