# Installs the client, the stand-in host, their man pages, the shell completions and the README.
# On Linux everything goes where GNUInstallDirs and each shell look for it; a Windows tree is flat,
# as its .zip unpacks next to where the user puts it, with the man pages as HTML.
include(GNUInstallDirs)

set(VTM_PACKAGE_MAINTAINER "vantelmirectl maintainers <maintainers@users.noreply.c-seed-12a06f65.example>"
  CACHE STRING "Maintainer named in the packages and the Debian changelog")

if(WIN32)
  set(VTM_INSTALL_BINDIR .)
  set(VTM_INSTALL_DOCDIR .)
  set(VTM_INSTALL_POWERSHELLDIR .)
else()
  set(VTM_INSTALL_BINDIR ${CMAKE_INSTALL_BINDIR})
  set(VTM_INSTALL_DOCDIR ${CMAKE_INSTALL_DOCDIR})
  set(VTM_INSTALL_POWERSHELLDIR ${CMAKE_INSTALL_DATADIR}/${PROJECT_NAME})
endif()

install(TARGETS vantelmirectl mock-host RUNTIME DESTINATION ${VTM_INSTALL_BINDIR})
install(FILES README.md DESTINATION ${VTM_INSTALL_DOCDIR})
# The licence travels with every archive. In a Linux tree the copyright file already holds it, and
# Debian wants it there alone, so LICENSE joins only the .tar.gz (component archive, which plain
# installs and the .deb leave out; cmake/cpack-project.cmake adds it).
if(WIN32)
  install(FILES LICENSE DESTINATION ${VTM_INSTALL_DOCDIR})
else()
  install(FILES LICENSE DESTINATION ${VTM_INSTALL_DOCDIR} COMPONENT archive EXCLUDE_FROM_ALL)
endif()

# Man pages: scdoc sources, roff at build time; HTML too (mandoc) where they go to Windows.
# Without those tools a build still makes, tests and installs the programs, and says at configure
# which pages it leaves out and why; it also writes that line to man/not-built.txt, from which the
# packages check knows not to expect them. The package presets must ship the pages: they stop.
# -DVTM_SCDOC=OFF leaves the pages out on purpose.
option(VTM_MAN_REQUIRED "Stop at configure when the man pages cannot be built" OFF)
find_program(VTM_SCDOC scdoc)
find_program(VTM_MANDOC mandoc)
find_program(VTM_GZIP gzip)
set(VTM_MAN_SOURCES vantelmirectl.1 mock-host.1)
set(VTM_MAN_NOT_BUILT ${CMAKE_BINARY_DIR}/man/not-built.txt)
set(tools scdoc)
if(WIN32)
  list(APPEND tools mandoc)
endif()
set(missing)
foreach(tool IN LISTS tools)
  string(TOUPPER VTM_${tool} found)
  if(NOT ${found})
    list(APPEND missing ${tool})
  endif()
endforeach()
file(REMOVE ${VTM_MAN_NOT_BUILT})
if(missing)
  # The Debian packages are named as the tools are.
  list(LENGTH missing count)
  list(JOIN missing ", no " without)
  list(JOIN missing " " names)
  list(JOIN VTM_MAN_SOURCES " and " pages)
  set(packages "Debian package")
  set(them it)
  if(count GREATER 1)
    set(packages "Debian packages")
    set(them them)
  endif()
  set(why "no ${without} (${packages}: ${names})")
  if(VTM_MAN_REQUIRED)
    message(FATAL_ERROR "The packages need the man pages ${pages}, and there is ${why}. "
      "Install ${them} and configure again.")
  endif()
  set(line "man pages ${pages} not built: ${why}")
  message(WARNING "${line}. Install ${them} and configure again to have the pages; until then "
    "the install tree and the packages go without them.")
  file(WRITE ${VTM_MAN_NOT_BUILT} "${line}\n")
else()
  set(VTM_MAN_PAGES)
  foreach(page IN LISTS VTM_MAN_SOURCES)
    set(out ${CMAKE_BINARY_DIR}/man/${page})
    set(outputs ${out})
    if(WIN32)
      set(installed ${out}.html)
      set(render -DMANDOC=${VTM_MANDOC})
    else()
      if(NOT VTM_GZIP)
        message(FATAL_ERROR "gzip is needed to compress the man pages")
      endif()
      set(installed ${out}.gz)
      set(render -DGZIP=${VTM_GZIP})
    endif()
    list(APPEND outputs ${installed})
    add_custom_command(OUTPUT ${outputs}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND ${CMAKE_COMMAND} -DSCDOC=${VTM_SCDOC} ${render} -DDATE_EPOCH=${VTM_SOURCE_DATE_EPOCH}
        -DIN=${PROJECT_SOURCE_DIR}/doc/${page}.scd -DOUT=${out} -DVERSION=${PROJECT_VERSION}
        -P ${PROJECT_SOURCE_DIR}/cmake/scdoc-man.cmake
      DEPENDS ${PROJECT_SOURCE_DIR}/doc/${page}.scd ${PROJECT_SOURCE_DIR}/cmake/scdoc-man.cmake
      COMMENT "Man page ${page}")
    list(APPEND VTM_MAN_PAGES ${out})
    if(WIN32)
      install(FILES ${installed} DESTINATION ${VTM_INSTALL_DOCDIR})
    else()
      install(FILES ${installed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
  endforeach()
  add_custom_target(man ALL DEPENDS ${VTM_MAN_PAGES})
endif()

# Completions, each under the name its shell loads it by. The PowerShell one has a name of its
# own, so it can never stand in for the program when both are on the path. zsh looks in
# site-functions under its own prefix, where plain installs and the .tar.gz put them (component
# zsh-site-functions); Debian's zsh looks in vendor-completions instead, where the .deb alone puts
# them (component deb), leaving the other out (cmake/cpack-project.cmake).
foreach(program vantelmirectl mock-host)
  if(NOT WIN32)
    install(FILES completions/${program}.bash
      DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME ${program})
    install(FILES completions/${program}.zsh
      DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/site-functions RENAME _${program}
      COMPONENT zsh-site-functions)
    install(FILES completions/${program}.zsh
      DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions RENAME _${program}
      COMPONENT deb EXCLUDE_FROM_ALL)
    install(FILES completions/${program}.fish
      DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d)
  endif()
  install(FILES completions/${program}-completion.ps1 DESTINATION ${VTM_INSTALL_POWERSHELLDIR})
endforeach()

# Beside the README on Linux, as Debian keeps them: the copyright (machine-readable) and the
# changelog, made from CHANGELOG.md. The lintian overrides go into the .deb only (component deb,
# which a plain install leaves out); cmake/packaging.cmake adds them there.
if(NOT WIN32)
  if(NOT VTM_GZIP)
    message(FATAL_ERROR "gzip is needed to compress the changelog")
  endif()
  set(VTM_CHANGELOG ${CMAKE_BINARY_DIR}/changelog.gz)
  add_custom_command(OUTPUT ${VTM_CHANGELOG}
    COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/CHANGELOG.md -DOUT=${VTM_CHANGELOG}
      -DPACKAGE=${PROJECT_NAME} -DVERSION=${PROJECT_VERSION} -DMAINTAINER=${VTM_PACKAGE_MAINTAINER}
      -DGZIP=${VTM_GZIP} -P ${PROJECT_SOURCE_DIR}/cmake/debian-changelog.cmake
    DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/cmake/debian-changelog.cmake
    COMMENT "Debian changelog from CHANGELOG.md" VERBATIM)
  add_custom_target(changelog ALL DEPENDS ${VTM_CHANGELOG})
  # The licence's text comes from LICENSE, its one home: the paragraphs after its copyright line,
  # indented as a copyright file's field continues, with " ." for an empty line.
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
  string(REGEX REPLACE "^.*\nCopyright [^\n]*\n\n" "" licence "${licence}")
  string(STRIP "${licence}" licence)
  string(REPLACE "\n\n" "\n.\n" licence "${licence}")
  string(REPLACE "\n" "\n " VTM_LICENSE_BODY " ${licence}")
  # What the programs hold of other works depends on how they are linked (CMakeLists.txt).
  if(VTM_STATIC_PROGRAMS)
    set(VTM_LINKING_NOTE "vantelmirectl and mock-host are both linked statically: they
 hold parts of the GNU C Library (LGPL-2.1+) and of GCC's libstdc++ and libgcc
 (GPL-3+ with the GCC Runtime Library Exception); see /usr/share/common-licenses.")
  else()
    set(VTM_LINKING_NOTE "vantelmirectl and mock-host are both linked dynamically
 against the GNU C Library and GCC's libstdc++ and libgcc, which the package
 depends on and which come with their own copyright files.")
  endif()
  # Compiled in, however the programs are linked.
  string(APPEND VTM_LINKING_NOTE "
 Both also hold dragonbox's shortest float digits (Debian's libdragonbox-dev,
 header-only), taken under the Boost Software License 1.0, which asks for no
 notice in programs built from it.")
  configure_file(packaging/debian/copyright.in copyright @ONLY)
  install(FILES ${VTM_CHANGELOG} ${CMAKE_CURRENT_BINARY_DIR}/copyright
    DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES packaging/debian/lintian-overrides
    DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ${PROJECT_NAME}
    COMPONENT deb EXCLUDE_FROM_ALL)
endif()
