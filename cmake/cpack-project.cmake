# Read by cpack once per generator. The .deb holds the lintian overrides as well (install
# component deb, left out of plain installs and of the other packages).
if(CPACK_GENERATOR STREQUAL "DEB")
  list(GET CPACK_INSTALL_CMAKE_PROJECTS 0 build_dir)
  list(APPEND CPACK_INSTALL_CMAKE_PROJECTS ${build_dir} ${CPACK_PACKAGE_NAME} deb /)
endif()
