# What makes two builds of one commit give the same bytes, wherever and whenever they run.
#
# VTM_SOURCE_DATE_EPOCH: the one time stamp the build writes anywhere (man page dates, archive
# members): SOURCE_DATE_EPOCH when set, else the time of the commit checked out, else unset
# (a tree without git history: then tools fall back to the current time).
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(VTM_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git log -1 --format=%ct
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    OUTPUT_VARIABLE VTM_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE failed ERROR_QUIET)
  if(failed)
    set(VTM_SOURCE_DATE_EPOCH "")
  endif()
endif()

# The source and build directories never reach the programs: __FILE__ and debug information name
# paths relative to them. Off by default, so debuggers find the sources of a developer's build.
option(VTM_REPRODUCIBLE "Map the source and build paths out of the programs (package builds)" OFF)
if(VTM_REPRODUCIBLE)
  add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=
    -ffile-prefix-map=${PROJECT_BINARY_DIR}/=)
endif()

# The PE header's link time stamp (and so its checksum) would change with every link.
if(WIN32)
  add_link_options(-Wl,--no-insert-timestamp)
endif()

# Directories made by an install are rwxr-xr-x whatever the umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
