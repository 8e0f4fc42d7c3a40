# CPack: a .deb and a .tar.gz on Linux (x86-64 or arm64, as the toolchain builds), a .zip on
# Windows, all holding what cmake/install.cmake installs.
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VTM_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "command-line client of the Vantelmire desktop app's computer-use service")
# Lines that fit Debian's 80 columns with the leading space the control file adds.
set(CPACK_PACKAGE_DESCRIPTION
  "vantelmirectl turns its command line into one JSON control request, sends it
over the local bridge socket to the running Vantelmire desktop app, prints the
JSON response and turns its success into the exit status; failures come as one
JSON error envelope that says whether a retry is safe. mock-host, a stand-in
for the desktop app, comes with it for testing scripts.")
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS})
# Packages are dated SOURCE_DATE_EPOCH when cpack runs, else the commit's time at configure
# (cmake/cpack-project.cmake sets it); CPack's archives are then made again in a fixed form
# (cmake/normalise-packages.cmake). The .deb also installs component deb (the lintian overrides).
set(CPACK_VTM_SOURCE_DATE_EPOCH ${VTM_SOURCE_DATE_EPOCH})
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/cpack-project.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/normalise-packages.cmake)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(VTM_PACKAGE_SYSTEM windows-x86_64)
else()
  set(CPACK_GENERATOR DEB TGZ)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
    set(VTM_PACKAGE_SYSTEM linux-arm64)
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
  else()
    set(VTM_PACKAGE_SYSTEM linux-x86_64)
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
  endif()
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The dependencies are what the programs link dynamically: nothing in a static build, the C
  # and C++ runtimes with VTM_STATIC off. A cross build links statically, and has no target
  # libraries to ask.
  if(CMAKE_CROSSCOMPILING)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  else()
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  endif()
endif()
set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-${VTM_PACKAGE_SYSTEM})

include(CPack)
