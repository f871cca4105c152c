# Checks a staged install: the library with its SONAME links, the headers,
# the package files, and the tool, filter and PPD when they were built.
# Usage: cmake -DPREFIX=... -DSTAGE=... -DLIBDIR=... -DSOVERSION=...
#              -DVERSION=... [-DTOOL=...] [-DFILTER=...] [-DPPD=...] -P this file
set(_lib ${PREFIX}/${LIBDIR})
set(_expect
  ${_lib}/libpclxl.so.${VERSION}
  ${PREFIX}/include/pclxl.h
  ${PREFIX}/include/pclxl.hpp
  ${_lib}/cmake/pclxl/pclxlConfig.cmake
  ${_lib}/cmake/pclxl/pclxlConfigVersion.cmake
  ${_lib}/cmake/pclxl/pclxlTargets.cmake
  ${_lib}/pkgconfig/pclxl.pc)
foreach(_rel TOOL)
  if(${_rel})
    list(APPEND _expect ${PREFIX}/${${_rel}})
  endif()
endforeach()
foreach(_abs FILTER PPD)
  if(${_abs})
    list(APPEND _expect ${STAGE}${${_abs}})
  endif()
endforeach()
foreach(_f IN LISTS _expect)
  if(NOT EXISTS ${_f})
    message(FATAL_ERROR "not installed: ${_f}")
  endif()
endforeach()

# libpclxl.so -> libpclxl.so.MAJOR -> libpclxl.so.VERSION
foreach(_pair "libpclxl.so;libpclxl.so.${SOVERSION}" "libpclxl.so.${SOVERSION};libpclxl.so.${VERSION}")
  list(GET _pair 0 _link)
  list(GET _pair 1 _target)
  file(READ_SYMLINK ${_lib}/${_link} _to)
  if(NOT _to STREQUAL _target)
    message(FATAL_ERROR "${_link} points to '${_to}', not ${_target}")
  endif()
endforeach()

if(FILTER)
  # CUPS runs filters only when group and others cannot write them.
  execute_process(COMMAND stat -c %a ${STAGE}${FILTER} OUTPUT_VARIABLE _mode
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT _mode STREQUAL "755")
    message(FATAL_ERROR "filter mode is ${_mode}, not 755")
  endif()
endif()
list(LENGTH _expect _n)
message("all ${_n} installed files are in place")
