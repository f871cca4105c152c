# What `cmake --install` puts in place: the library with its SONAME links,
# both headers, a CMake package (find_package(pclxl) -> pclxl::pclxl, with a
# version file), pclxl.pc for pkg-config and the `pclxl` tool. The CUPS
# filter and its PPD install from filter/CMakeLists.txt into CUPS's own
# directories.
include(CMakePackageConfigHelpers)

set(PCLXL_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/pclxl CACHE PATH
    "Where the CMake package files are installed")

install(TARGETS pclxl EXPORT pclxlTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    COMPONENT runtime NAMELINK_COMPONENT devel
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/pclxl.h ${PROJECT_SOURCE_DIR}/include/pclxl.hpp
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT devel)

install(EXPORT pclxlTargets NAMESPACE pclxl:: FILE pclxlTargets.cmake
  DESTINATION ${PCLXL_INSTALL_CMAKEDIR} COMPONENT devel)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/pclxlConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/pclxlConfig.cmake
  INSTALL_DESTINATION ${PCLXL_INSTALL_CMAKEDIR})
# Same major version: the major version is the SOVERSION, so it is the ABI.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/pclxlConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/pclxlConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/pclxlConfigVersion.cmake
  DESTINATION ${PCLXL_INSTALL_CMAKEDIR} COMPONENT devel)

# pkg-config: paths are absolute in the file; a staged install (DESTDIR) is
# found with PKG_CONFIG_SYSROOT_DIR.
foreach(_dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${_dir}}")
    set(PCLXL_PC_${_dir} "${CMAKE_INSTALL_${_dir}}")
  else()
    set(PCLXL_PC_${_dir} "\${prefix}/${CMAKE_INSTALL_${_dir}}")
  endif()
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/pclxl.pc.in ${CMAKE_CURRENT_BINARY_DIR}/pclxl.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/pclxl.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT devel)

if(TARGET pclxl_tool)
  if(NOT "${CMAKE_INSTALL_FULL_LIBDIR}" IN_LIST CMAKE_CXX_IMPLICIT_LINK_DIRECTORIES)
    set_target_properties(pclxl_tool PROPERTIES INSTALL_RPATH "${CMAKE_INSTALL_FULL_LIBDIR}")
  endif()
  install(TARGETS pclxl_tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
endif()
