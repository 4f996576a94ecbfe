# Installing the Linux port, and its Debian package.
#
# The launcher loads kanna.so and nomi.so from its own directory, so the
# three deliverables stay together in <prefix>/lib/tsuchi; <prefix>/bin holds
# a link to the launcher, which finds its real directory through
# /proc/self/exe. A desktop entry lets file managers offer it under "Open
# with" for ZIP and LZH archives and for folders, and take drops on it.
include(GNUInstallDirs)

set(TSUCHI_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/tsuchi)
install(TARGETS tsuchi RUNTIME DESTINATION ${TSUCHI_INSTALL_DIR})
install(TARGETS kanna nomi LIBRARY DESTINATION ${TSUCHI_INSTALL_DIR})

# The link is made in the build tree and installed as it is.
file(RELATIVE_PATH TSUCHI_LINK_TARGET /${CMAKE_INSTALL_BINDIR} /${TSUCHI_INSTALL_DIR}/tsuchi)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/install-link)
file(CREATE_LINK ${TSUCHI_LINK_TARGET} ${CMAKE_BINARY_DIR}/install-link/tsuchi SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/install-link/tsuchi DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${CMAKE_SOURCE_DIR}/launcher/linux/tsuchi.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/launcher/linux/tsuchi.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tsuchi)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "tsuchi developers <tsuchi@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "drag-and-drop LZH and ZIP archiver with a Japanese user interface")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The C and C++ runtimes; the dialog windows need zenity or kdialog, found
# at run time, so they are recommended rather than required.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "zenity | kdialog")
set(CPACK_STRIP_FILES ON)
include(CPack)
