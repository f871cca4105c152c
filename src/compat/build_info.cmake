# Build information for the library-information record: version, build
# date, build type and the git branch, commit and commit date of the source
# checkout. A small script writes them into pclxl_build_info.h in the build
# tree on every build; the header only changes (and library_info.cpp only
# recompiles) when a value does.
#
# Build date: SOURCE_DATE_EPOCH when it is set (reproducible builds), else
# the time of configuration, in UTC. Git fields are empty when the sources
# are not a git checkout of their own or git is missing.

set(PCLXL_BUILD_INFO_DIR ${CMAKE_CURRENT_BINARY_DIR}/generated)
set(PCLXL_BUILD_INFO_HEADER ${PCLXL_BUILD_INFO_DIR}/pclxl_build_info.h)
set(PCLXL_BUILD_INFO_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/build_info_gen.cmake)

find_package(Git QUIET)
# string(TIMESTAMP) itself prefers SOURCE_DATE_EPOCH when it is set.
string(TIMESTAMP _pclxl_configure_date "%Y-%m-%dT%H:%M:%SZ" UTC)

set(_pclxl_build_info_args
  -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
  -DOUTPUT=${PCLXL_BUILD_INFO_HEADER}
  -DGIT_EXECUTABLE=${GIT_EXECUTABLE}
  -DCONFIGURE_DATE=${_pclxl_configure_date})

# Once now, so that the header exists from the start ...
execute_process(COMMAND ${CMAKE_COMMAND} ${_pclxl_build_info_args}
  -DBUILD_TYPE=${CMAKE_BUILD_TYPE} -P ${PCLXL_BUILD_INFO_SCRIPT})
# ... and on every build, to follow new commits without reconfiguring.
add_custom_target(pclxl_build_info
  COMMAND ${CMAKE_COMMAND} ${_pclxl_build_info_args}
    -DBUILD_TYPE=$<CONFIG> -P ${PCLXL_BUILD_INFO_SCRIPT}
  BYPRODUCTS ${PCLXL_BUILD_INFO_HEADER}
  COMMENT "Checking build information"
  VERBATIM)
set_target_properties(pclxl_build_info PROPERTIES PCLXL_HEADER_DIR ${PCLXL_BUILD_INFO_DIR})

add_dependencies(pclxl pclxl_build_info)
target_sources(pclxl PRIVATE ${PCLXL_BUILD_INFO_HEADER})
target_include_directories(pclxl PRIVATE ${PCLXL_BUILD_INFO_DIR})
