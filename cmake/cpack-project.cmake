# Read by cpack once per generator, before it installs and strips.
# Every tool cpack runs dates its output by SOURCE_DATE_EPOCH, the commit's time unless the caller
# set one: strip, for one, would otherwise write the current time into a PE header.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH} AND CPACK_VTM_SOURCE_DATE_EPOCH)
  set(ENV{SOURCE_DATE_EPOCH} ${CPACK_VTM_SOURCE_DATE_EPOCH})
endif()
# The .deb holds the lintian overrides and the zsh completions where Debian's zsh looks for them
# (install component deb) in place of the zsh-site-functions ones; the .tar.gz the LICENSE that
# the .deb carries in its copyright file (component archive). Plain installs and the other
# packages leave both components out. Unspecified is CMake's name for the rest of the tree.
list(GET CPACK_INSTALL_CMAKE_PROJECTS 0 build_dir)
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_INSTALL_CMAKE_PROJECTS ${build_dir} ${CPACK_PACKAGE_NAME} Unspecified /
    ${build_dir} ${CPACK_PACKAGE_NAME} deb /)
elseif(CPACK_GENERATOR STREQUAL "TGZ")
  list(APPEND CPACK_INSTALL_CMAKE_PROJECTS ${build_dir} ${CPACK_PACKAGE_NAME} archive /)
endif()
