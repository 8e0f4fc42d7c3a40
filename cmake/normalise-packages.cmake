# Run by cpack after each generator (CPACK_POST_BUILD_SCRIPTS): makes each package in
# CPACK_PACKAGE_FILES again from its own contents so that its bytes depend on those contents
# alone. What CPack's archives would otherwise take from the machine:
# - time stamps: every member and every gzip header is dated SOURCE_DATE_EPOCH (the commit);
# - member order: CPack adds the files of .tar.gz and .zip in directory-listing order, which
#   differs between file systems; here they go in sorted by name;
# - permissions and owners: u=rwX,go=rX, owned by 0:0 (root), whatever the umask and user;
# - the .deb's Installed-Size: CPack adds up the directories' sizes on disk, which depend on the
#   file system; here it is counted as dpkg does, 1 KiB per directory and per started KiB of
#   each file.
# Needs GNU tar, gzip, chmod, touch and dpkg-deb (Linux packages) or zip (the Windows .zip).
cmake_minimum_required(VERSION 3.25)

# Set by cmake/cpack-project.cmake where it can be.
set(epoch "$ENV{SOURCE_DATE_EPOCH}")
if(NOT epoch MATCHES "^[0-9]+$")
  message(STATUS "No commit time nor SOURCE_DATE_EPOCH: the packages are left as CPack made them")
  return()
endif()

# run([NAME=VALUE...] COMMAND...): runs it in the C locale, UTC, and stops cpack when it fails.
function(run)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C TZ=UTC ${ARGN}
    RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(failed)
    message(FATAL_ERROR "${ARGN}: ${output}")
  endif()
endfunction()

# fix_tree(DIR): the permissions and times every package member gets.
function(fix_tree dir)
  run(chmod -R u=rwX,go=rX ${dir})
  run(find ${dir} -exec touch -h -d @${epoch} {} +)
endfunction()

foreach(package IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name ${package} NAME)
  set(work ${CPACK_TOPLEVEL_DIRECTORY}/normalise/${name})
  file(REMOVE_RECURSE ${work})
  file(MAKE_DIRECTORY ${work})
  if(name MATCHES "\\.deb$")
    run(dpkg-deb --raw-extract ${package} ${work}/root)
    fix_tree(${work}/root)
    file(GLOB_RECURSE entries LIST_DIRECTORIES true ${work}/root/*)
    set(kib 0)
    foreach(entry IN LISTS entries)
      if(entry MATCHES "/root/DEBIAN(/|$)")
        continue()
      elseif(IS_DIRECTORY ${entry} OR IS_SYMLINK ${entry})
        math(EXPR kib "${kib} + 1")
      else()
        file(SIZE ${entry} size)
        math(EXPR kib "${kib} + (${size} + 1023) / 1024")
      endif()
    endforeach()
    file(READ ${work}/root/DEBIAN/control control)
    string(REGEX REPLACE "\nInstalled-Size: [0-9]+\n" "\nInstalled-Size: ${kib}\n" control
      "${control}")
    file(WRITE ${work}/root/DEBIAN/control "${control}")
    run(touch -d @${epoch} ${work}/root/DEBIAN/control)
    # dpkg-deb sorts the members, owns them by root and dates the ar members SOURCE_DATE_EPOCH.
    run(SOURCE_DATE_EPOCH=${epoch} dpkg-deb --root-owner-group -Zgzip -z9
      --build ${work}/root ${package})
  elseif(name MATCHES "\\.tar\\.gz$")
    run(tar -xzf ${package} -C ${work})
    fix_tree(${work})
    file(GLOB top RELATIVE ${work} ${work}/*)
    run(tar --sort=name --format=gnu --mtime=@${epoch} --owner=0 --group=0 --numeric-owner
      -C ${work} -cf ${work}.tar ${top})
    run(gzip -9n -f ${work}.tar)
    file(RENAME ${work}.tar.gz ${package})
  elseif(name MATCHES "\\.zip$")
    run(${CMAKE_COMMAND} -E chdir ${work} ${CMAKE_COMMAND} -E tar xf ${package})
    fix_tree(${work})
    file(GLOB_RECURSE members RELATIVE ${work} ${work}/*)
    list(SORT members)
    file(REMOVE ${package})
    # -X: no uid/gid and no extra time fields; -D: files only, as CPack makes it.
    run(${CMAKE_COMMAND} -E chdir ${work} zip -X -D -9 -q ${package} ${members})
  endif()
  file(REMOVE_RECURSE ${work})
endforeach()
