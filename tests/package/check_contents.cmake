# What a staged install holds besides the files the consumers use: the
# library's SONAME links, and the tool, filter (mode 755: CUPS runs no filter
# others can write) and PPD when they were built, given as staged paths.
file(READ_SYMLINK ${LIB}/libpclxl.so _dev)
file(READ_SYMLINK ${LIB}/libpclxl.so.${SOVERSION} _soname)
if(NOT _dev STREQUAL "libpclxl.so.${SOVERSION}" OR NOT _soname STREQUAL "libpclxl.so.${VERSION}")
  message(FATAL_ERROR "libpclxl.so -> ${_dev} -> ${_soname}, not the SONAME chain")
endif()
foreach(_f ${LIB}/libpclxl.so.${VERSION} ${TOOL} ${FILTER} ${PPD})
  if(NOT EXISTS ${_f})
    message(FATAL_ERROR "not installed: ${_f}")
  endif()
endforeach()
if(FILTER)
  execute_process(COMMAND stat -c %a ${FILTER} OUTPUT_VARIABLE _mode
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT _mode STREQUAL "755")
    message(FATAL_ERROR "filter mode is ${_mode}, not 755")
  endif()
endif()
