# The fuzz targets, shared by the libFuzzer build (fuzz/CMakeLists.txt) and
# the plain replay build (tests/fuzz_replay), so that both build the same
# list. A target whose code under test is not part of this build is left
# out.
#
# pclxl_fuzz_targets(<out-var>) stores the names; pclxl_fuzz_program(<exe>
# <name>) builds target <name>'s source into <exe> with what it links.

set(_pclxl_fuzz_dir ${CMAKE_CURRENT_LIST_DIR})

function(pclxl_fuzz_targets out)
  set(_names delta_row image_roundtrip pjl_status)
  if(TARGET pclxl_reader)
    list(APPEND _names dump_reader api_sequence)
  endif()
  if(TARGET rastertopclxl_core AND TARGET pclxl_reader)
    list(APPEND _names raster_filter)
  endif()
  if(TARGET pclxl_pdf AND TARGET pclxl_reader)
    list(APPEND _names pdf_convert)
  endif()
  if(TARGET pclxl_host_text)
    list(APPEND _names text_layout)
  endif()
  set(_present)
  foreach(_n ${_names})
    if(EXISTS ${_pclxl_fuzz_dir}/${_n}.cpp)
      list(APPEND _present ${_n})
    endif()
  endforeach()
  set(${out} ${_present} PARENT_SCOPE)
endfunction()

function(pclxl_fuzz_program exe name)
  add_executable(${exe} ${_pclxl_fuzz_dir}/${name}.cpp ${_pclxl_fuzz_dir}/fuzz_support.cpp ${ARGN})
  target_include_directories(${exe} PRIVATE ${_pclxl_fuzz_dir} ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${exe} PRIVATE pclxl pclxl_reference)
  if(name STREQUAL "dump_reader" OR name STREQUAL "api_sequence")
    target_link_libraries(${exe} PRIVATE pclxl_reader)
  elseif(name STREQUAL "raster_filter")
    target_link_libraries(${exe} PRIVATE rastertopclxl_core pclxl_reader)
  elseif(name STREQUAL "pjl_status")
    # The printer application's back-channel reader: plain C++, no PAPPL.
    target_sources(${exe} PRIVATE ${PROJECT_SOURCE_DIR}/app/pjl_status.cpp)
    target_include_directories(${exe} PRIVATE ${PROJECT_SOURCE_DIR}/app)
    target_link_libraries(${exe} PRIVATE pclxl_host)
  elseif(name STREQUAL "pdf_convert")
    target_link_libraries(${exe} PRIVATE pclxl_pdf pclxl_reader)
  elseif(name STREQUAL "text_layout")
    # The text of the printer application's text jobs and `pclxl text`.
    target_link_libraries(${exe} PRIVATE pclxl_host_text)
  endif()
endfunction()
