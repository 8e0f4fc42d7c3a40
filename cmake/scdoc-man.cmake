# cmake -DSCDOC=... [-DMANDOC=...] [-DGZIP=...] [-DDATE_EPOCH=...] -DIN=page.scd -DOUT=page
#       -DVERSION=x.y.z -P scdoc-man.cmake
# Turns a man page source into roff, dated DATE_EPOCH (else today, as scdoc does). scdoc ends every
# paragraph with a mark, also where nothing follows (before a heading, the end of an indented
# block, the end of the page); those marks are moved or dropped so the page lints clean. With
# MANDOC it also writes OUT.html, for systems without man; with GZIP, OUT.gz as Debian installs man
# pages (gzip -9n: no name, no time stamp).
cmake_minimum_required(VERSION 3.25)
file(READ ${IN} source)
string(REPLACE "@VERSION@" "${VERSION}" source "${source}")
file(WRITE ${OUT}.scd "${source}")
set(date_env "")
if(DATE_EPOCH)
  set(date_env SOURCE_DATE_EPOCH=${DATE_EPOCH})
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E env ${date_env} ${SCDOC}
  INPUT_FILE ${OUT}.scd OUTPUT_VARIABLE roff RESULT_VARIABLE failed)
file(REMOVE ${OUT}.scd)
if(failed)
  message(FATAL_ERROR "scdoc failed on ${IN}")
endif()
string(REPLACE "\n.P\n.RE\n" "\n.RE\n.P\n" roff "${roff}")
string(REGEX REPLACE "(\n\\.S[HS] [^\n]*\n)\\.P\n" "\\1" roff "${roff}")
string(REGEX REPLACE "\n\\.P(\n\\.S[HS] )" "\\1" roff "${roff}")
string(REGEX REPLACE "\n\\.P\n$" "\n" roff "${roff}")
file(WRITE ${OUT} "${roff}")
if(MANDOC)
  execute_process(COMMAND ${MANDOC} -T html ${OUT} OUTPUT_FILE ${OUT}.html
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "mandoc could not render ${OUT}")
  endif()
endif()
if(GZIP)
  execute_process(COMMAND ${GZIP} -9n -c ${OUT} OUTPUT_FILE ${OUT}.gz RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip failed on ${OUT}")
  endif()
endif()
