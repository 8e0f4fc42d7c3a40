# Installs the client, the stand-in host, their man pages, the shell completions and the README.
# On Linux everything goes where GNUInstallDirs and each shell look for it; a Windows tree is flat,
# as its .zip unpacks next to where the user puts it, with the man pages as HTML.
include(GNUInstallDirs)

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

# Man pages: scdoc sources, roff at build time; HTML too where they go to Windows.
find_program(VTM_SCDOC scdoc)
find_program(VTM_MANDOC mandoc)
if(NOT VTM_SCDOC)
  message(WARNING "scdoc not found: the man pages are neither built nor installed")
else()
  set(VTM_MAN_PAGES)
  foreach(page vantelmirectl.1 mock-host.1)
    set(out ${CMAKE_BINARY_DIR}/man/${page})
    set(html "")
    set(outputs ${out})
    if(WIN32)
      if(NOT VTM_MANDOC)
        message(FATAL_ERROR "mandoc is needed to turn the man pages into HTML")
      endif()
      set(html -DMANDOC=${VTM_MANDOC})
      list(APPEND outputs ${out}.html)
    endif()
    add_custom_command(OUTPUT ${outputs}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND ${CMAKE_COMMAND} -DSCDOC=${VTM_SCDOC} ${html} -DIN=${PROJECT_SOURCE_DIR}/doc/${page}.scd
        -DOUT=${out} -DVERSION=${PROJECT_VERSION} -P ${PROJECT_SOURCE_DIR}/cmake/scdoc-man.cmake
      DEPENDS ${PROJECT_SOURCE_DIR}/doc/${page}.scd ${PROJECT_SOURCE_DIR}/cmake/scdoc-man.cmake
      COMMENT "Man page ${page}")
    list(APPEND VTM_MAN_PAGES ${out})
    if(WIN32)
      install(FILES ${out}.html DESTINATION ${VTM_INSTALL_DOCDIR})
    else()
      install(FILES ${out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
  endforeach()
  add_custom_target(man ALL DEPENDS ${VTM_MAN_PAGES})
endif()

# Completions, each under the name its shell loads it by. The PowerShell one has a name of its
# own, so it can never stand in for the program when both are on the path.
foreach(program vantelmirectl mock-host)
  if(NOT WIN32)
    install(FILES completions/${program}.bash
      DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME ${program})
    install(FILES completions/${program}.zsh
      DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/site-functions RENAME _${program})
    install(FILES completions/${program}.fish
      DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d)
  endif()
  install(FILES completions/${program}-completion.ps1 DESTINATION ${VTM_INSTALL_POWERSHELLDIR})
endforeach()
