# Runs build_info_gen.cmake on scratch sources that are not a checkout of
# their own but lie inside the build tree, which may itself sit in a git
# checkout: the date comes from SOURCE_DATE_EPOCH and no git field is set.
# Usage: cmake -DGENERATOR_SCRIPT=... -DWORK_DIR=... [-DGIT_EXECUTABLE=...] -P this
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}/plain")
set(out "${WORK_DIR}/pclxl_build_info.h")
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=86400
    ${CMAKE_COMMAND} -DSOURCE_DIR=${WORK_DIR}/plain -DOUTPUT=${out} -DGIT_EXECUTABLE=${GIT_EXECUTABLE}
      -DCONFIGURE_DATE=2000-01-01T00:00:00Z -DBUILD_TYPE=Debug -P ${GENERATOR_SCRIPT}
  COMMAND_ERROR_IS_FATAL ANY)
foreach(expected BUILD_DATE=1970-01-02T00:00:00Z BUILD_TYPE=Debug GIT_BRANCH= GIT_COMMIT=
                 GIT_COMMIT_DATE=)
  string(REGEX REPLACE "=.*" "" item "${expected}")
  string(REGEX REPLACE "^[^=]*=" "" value "${expected}")
  file(STRINGS "${out}" line REGEX "^#define PCLXL_${item} ")
  if(NOT line STREQUAL "#define PCLXL_${item} \"${value}\"")
    message(FATAL_ERROR "expected PCLXL_${item} \"${value}\", got: ${line}")
  endif()
endforeach()
