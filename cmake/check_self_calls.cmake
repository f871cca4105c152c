# Fails when the library calls one of its own exported functions through the
# PLT: a host defining that name would then change what the library writes.
# Usage: cmake -DLIBRARY=... -DEXPECTED=<exported-symbols list> -P this file
execute_process(COMMAND objdump -d -C ${LIBRARY}
  OUTPUT_VARIABLE _asm RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "<[^<>\n]+@plt>" _targets "${_asm}")
list(REMOVE_DUPLICATES _targets)

file(STRINGS ${EXPECTED} _exported REGEX "^[^#]")
list(FILTER _exported EXCLUDE REGEX "^#|^$")
set(_bad "")
foreach(_t IN LISTS _targets)
  string(REGEX REPLACE "^<(.*)@plt>$" "\\1" _name "${_t}")
  list(FIND _exported "${_name}" _at)
  if(NOT _at EQUAL -1)
    list(APPEND _bad "${_name}")
  endif()
endforeach()
if(_bad)
  foreach(_n IN LISTS _bad)
    message("called through the PLT: ${_n}")
  endforeach()
  message(FATAL_ERROR "the library calls its own exported names")
endif()
list(LENGTH _targets _n)
message("${_n} PLT targets, none of them the library's own")
