# The Debian package: the program, kivtable, the desktop entry with the
# program's icon and an example /etc/kiv/Ostrel.ini (kept as a conffile,
# so an edited one survives an upgrade).
#
#   cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
#   cmake --build build --target kiv kivtable kivappicon
#   cd build && cpack -G DEB        # kiv_<version>_<arch>.deb
#
# Installing packs what has been built: it does not build the whole tree
# (tests and benchmarks) first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(TARGETS kiv kivtable RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/kiv.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/Ostrel.ini DESTINATION /etc/kiv)

set(CPACK_PACKAGE_NAME kiv)
set(CPACK_PACKAGE_VENDOR "Kiv")
set(CPACK_PACKAGE_CONTACT "Kiv <kiv@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Kiv - School Meals: stock and meal records of a school kitchen")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "The desktop data-entry client of a school-meals kitchen: stock entries and exits, "
       "purchase requests, headcounts, service withdrawals and stock counts, on the table "
       "files the central system exports.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_INSTALL_DIRECTORY kiv)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# The Qt libraries come from the linked binaries; the platform plugin (the
# window system) and the icon set are loaded at run time, so they are named.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6widgets6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6core6 (>= 6.4), qt6-qpa-plugins")
file(WRITE ${CMAKE_BINARY_DIR}/debian/conffiles "/etc/kiv/Ostrel.ini\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/conffiles)
include(CPack)
