# Installation as a desktop program and the Debian package built from it:
#   cmake --install build --prefix /usr/local
#   (cd build && cpack -G DEB)
include(GNUInstallDirs)

set(VW_DESKTOP_DIR ${PROJECT_SOURCE_DIR}/src/resources/desktop)
set(VW_APPSTREAM_ID example.korvane.Vaultwick)

install(TARGETS vaultwick RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(UNIX AND NOT APPLE)
  install(FILES ${VW_DESKTOP_DIR}/vaultwick.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

  # The release in the metainfo is the project's version.
  configure_file(${VW_DESKTOP_DIR}/${VW_APPSTREAM_ID}.metainfo.xml
                 ${PROJECT_BINARY_DIR}/${VW_APPSTREAM_ID}.metainfo.xml @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${VW_APPSTREAM_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

  # The icon theme's sizes, drawn by src/resources/make_about_images.py.
  foreach(size 16 22 24 32 48 64 128 256)
    if(size EQUAL 32)
      set(icon ${PROJECT_SOURCE_DIR}/src/resources/vaultwick.png)
    else()
      set(icon ${PROJECT_SOURCE_DIR}/src/resources/hicolor/vaultwick-${size}.png)
    endif()
    install(FILES ${icon} RENAME vaultwick.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
endif()

set(CPACK_PACKAGE_NAME vaultwick)
set(CPACK_PACKAGE_VENDOR Korvane)
set(CPACK_PACKAGE_CONTACT "Korvane <support@korvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Daily backups of MySQL databases on a web host")
set(CPACK_PACKAGE_DESCRIPTION
    "Vaultwick logs into a web host, has it run mysqldump, fetches the dump per\nFTP or HTTP into a local directory and reports every step. It waits in the\nnotification area for the daily backup times, or runs from the command line.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.korvane.example/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The libraries' packages come from the program's own links; the platform
# plugin that shows the windows is loaded at run time, so it is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# QtKeychain reaches the Secret Service through libsecret, loaded at run time;
# without it the passwords stay in the settings file.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, libsecret-1-0")
# Off-site copies run these programs when a task names a destination.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "rclone, restic")
# The test restore runs the user's own server and client; the program never starts one otherwise.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "mariadb-server | default-mysql-server, mariadb-client | default-mysql-client")
include(CPack)
