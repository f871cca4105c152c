# Debian packages made by CPack from the install rules, one per component:
#
#   libpclxl1              runtime  the shared library
#   libpclxl-dev           devel    headers, SONAME link, CMake and pkg-config files
#   pclxl-tools            tools    the `pclxl` command
#   printer-driver-pclxl   driver   the CUPS filters and the PPD
#   pclxl-printer-app      app      the printer application, its systemd unit,
#                                   spool directory and system user
#
# packaging/deb/build.sh configures a tree for them (prefix /usr, Debian's
# build flags) and runs CPack. Dependencies on other Debian packages come from
# dpkg-shlibdeps; those on libpclxl1 are written here, as its shlibs file says.
set(_deb_dir ${CMAKE_CURRENT_LIST_DIR})
set(_deb_out ${PROJECT_BINARY_DIR}/deb)
# The project's developers, at a reserved domain (it reaches no one else);
# whoever builds packages to hand out names themselves instead.
set(PCLXL_DEB_MAINTAINER "libpclxl developers <developers@libpclxl.example>" CACHE STRING
    "The Maintainer field of the Debian packages: Name <address>")
set(PCLXL_DEB_REVISION "1" CACHE STRING
    "The Debian revision: the packages' version is <library version>-<revision>")

set(_version ${PROJECT_VERSION}-${PCLXL_DEB_REVISION})
set(_lib_dep "libpclxl${PROJECT_VERSION_MAJOR} (>= ${PROJECT_VERSION})")
set(_pdf OFF)
if(TARGET pclxl_pdf)
  set(_pdf ON)
endif()

# copyright files: the whole of libpclxl is Apache-2.0; a program that links
# MuPDF (statically, as Debian ships it) is under AGPL-3.0-or-later.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE.AGPL-3.0 _agpl)
string(REGEX REPLACE "\n+$" "" _agpl "${_agpl}")
string(REGEX REPLACE "\n[ \t]*\n" "\n.\n" _agpl "${_agpl}")
string(REGEX REPLACE "\n[ \t]*\n" "\n.\n" _agpl "${_agpl}")
string(REPLACE "\n" "\n " _agpl " ${_agpl}")
# pclxl_deb_copyright(PACKAGE [AGPL PROGRAM]): PACKAGE's copyright file;
# PROGRAM links MuPDF.
function(pclxl_deb_copyright package)
  cmake_parse_arguments(PARSE_ARGV 1 _c "" "" "AGPL")
  set(_text "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n")
  string(APPEND _text "Upstream-Name: libpclxl\n")
  foreach(_program IN LISTS _c_AGPL)
    string(APPEND _text "Comment: ${_program} links MuPDF (statically, as Debian\n"
      " builds it), which is AGPL-3.0-or-later, so that program is distributed\n"
      " under AGPL-3.0-or-later. The rest of this package is Apache-2.0.\n")
  endforeach()
  string(APPEND _text "\nFiles: *\nCopyright: 2026 the libpclxl authors\nLicense: Apache-2.0\n")
  if(_c_AGPL)
    string(APPEND _text "\nFiles: pdf/* filter/pdftopclxl.cpp\n"
      "Copyright: 2026 the libpclxl authors\nLicense: AGPL-3.0-or-later\n")
  endif()
  string(APPEND _text "\nLicense: Apache-2.0\n"
    " On Debian systems the full text of the Apache License, Version 2.0, is in\n"
    " /usr/share/common-licenses/Apache-2.0.\n")
  if(_c_AGPL)
    string(APPEND _text "\nLicense: AGPL-3.0-or-later\n${_agpl}\n")
  endif()
  file(WRITE ${_deb_out}/${package}/copyright "${_text}")
endfunction()

# pclxl_deb_package(COMPONENT NAME SECTION SUMMARY DESCRIPTION [DEPENDS ...]
#                   [RECOMMENDS ...] [SUGGESTS ...] [AGPL PROGRAM])
function(pclxl_deb_package component name section summary description)
  cmake_parse_arguments(PARSE_ARGV 5 _p "" "" "DEPENDS;RECOMMENDS;SUGGESTS;AGPL")
  string(TOUPPER ${component} _c)
  set(CPACK_DEBIAN_${_c}_PACKAGE_NAME ${name} PARENT_SCOPE)
  set(CPACK_DEBIAN_${_c}_PACKAGE_SECTION ${section} PARENT_SCOPE)
  set(CPACK_DEBIAN_${_c}_DESCRIPTION "${summary}\n${description}" PARENT_SCOPE)
  foreach(_field DEPENDS RECOMMENDS SUGGESTS)
    if(_p_${_field})
      list(JOIN _p_${_field} ", " _value)
      set(CPACK_DEBIAN_${_c}_PACKAGE_${_field} "${_value}" PARENT_SCOPE)
    endif()
  endforeach()
  pclxl_deb_copyright(${name} AGPL ${_p_AGPL})
  file(ARCHIVE_CREATE OUTPUT ${_deb_out}/${name}/changelog.Debian.gz
       PATHS ${_deb_out}/changelog.Debian FORMAT raw COMPRESSION GZip COMPRESSION_LEVEL 9
       MTIME 0)
  install(FILES ${_deb_out}/${name}/copyright ${_deb_out}/${name}/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${name} COMPONENT ${component})
  set(_components ${_components} ${component} PARENT_SCOPE)
endfunction()

# One changelog entry: the packages are made from the tree as it is.
# SOURCE_DATE_EPOCH, when set, gives its date.
string(TIMESTAMP _date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE ${_deb_out}/changelog.Debian
  "libpclxl (${_version}) unstable; urgency=medium\n\n"
  "  * Packages built from the libpclxl ${PROJECT_VERSION} source tree.\n\n"
  " -- ${PCLXL_DEB_MAINTAINER}  ${_date}\n")

set(_components)
pclxl_deb_package(runtime libpclxl${PROJECT_VERSION_MAJOR} libs
  "PCL XL and PJL print stream encoder (shared library)"
  "libpclxl writes the bytes a page printer receives: a PJL job header and a
PCL XL stream (class 3.0, binary) with pages, vector paths, bitmap fonts and
compressed raster images. Printer drivers and print filters load it.")
# dpkg's ldconfig trigger updates the dynamic linker's cache (CPack's own
# scripts also run ldconfig, which does no harm).
file(WRITE ${_deb_out}/runtime/triggers "activate-noawait ldconfig\n")
list(APPEND CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${_deb_out}/runtime/triggers)
pclxl_deb_package(devel libpclxl-dev libdevel
  "PCL XL and PJL print stream encoder (development files)"
  "The C header (the library's manual), the C++ header, the SONAME link, a
CMake package and a pkg-config file for building hosts of libpclxl."
  DEPENDS "libpclxl${PROJECT_VERSION_MAJOR} (= ${_version})")

# The PDF converter turns CMYK into sRGB through Ghostscript's default CMYK
# profile (PCLXL_CMYK_PROFILE), which libgs-common ships.
set(_pdf_deps)
if(_pdf)
  set(_pdf_deps libgs-common)
endif()

if(TARGET pclxl_tool)
  if(_pdf)
    set(_tool_agpl AGPL /usr/bin/pclxl)
  endif()
  pclxl_deb_package(tools pclxl-tools text
    "PCL XL job writer and reader (command-line tool)"
    "pclxl prints PNG, PNM and PDF files and plain UTF-8 text to PJL + PCL XL
jobs, writes a test page, and dumps what a PCL XL job holds."
    DEPENDS ${_lib_dep} fonts-dejavu-core ${_pdf_deps} ${_tool_agpl})
endif()

if(TARGET rastertopclxl)
  if(_pdf)
    set(_filter_agpl AGPL ${PCLXL_CUPS_FILTER_DIR}/pdftopclxl)
  endif()
  pclxl_deb_package(driver printer-driver-pclxl text
    "CUPS driver for PCL XL printers"
    "The CUPS filters rastertopclxl (raster pages) and pdftopclxl (PDF as
vectors, text and images, when built with MuPDF) and a generic PPD, for page
printers that take PJL + PCL XL over the network or USB."
    DEPENDS ${_lib_dep} cups-filters ${_pdf_deps} RECOMMENDS cups ${_filter_agpl})
endif()

if(TARGET pclxl-printer-app)
  if(_pdf)
    set(_app_agpl AGPL ${CMAKE_INSTALL_FULL_SBINDIR}/pclxl-printer-app)
  endif()
  pclxl_deb_package(app pclxl-printer-app net
    "IPP Everywhere printer application for PCL XL printers"
    "A small server that shows clients (CUPS, phones, other systems) an IPP
Everywhere printer and turns its jobs into PJL + PCL XL for the printer behind
it. It runs as the service pclxl-printer-app under its own system user."
    DEPENDS ${_lib_dep} adduser ghostscript fonts-dejavu-core ${_pdf_deps} RECOMMENDS avahi-daemon
    SUGGESTS cups
    ${_app_agpl})
  foreach(_script postinst prerm postrm)
    configure_file(${_deb_dir}/pclxl-printer-app.${_script}.in ${_deb_out}/app/${_script} @ONLY
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    list(APPEND CPACK_DEBIAN_APP_PACKAGE_CONTROL_EXTRA ${_deb_out}/app/${_script})
  endforeach()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pclxl)
set(CPACK_PACKAGE_VENDOR "libpclxl")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# Each package's first description line is its own summary.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(CPACK_PACKAGE_DIRECTORY ${_deb_out})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${_components})
# The CUPS directories and the unit's are absolute: install into a staging
# root rather than under the prefix.
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${PCLXL_DEB_REVISION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${PCLXL_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SOURCE libpclxl)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libpclxl.so.1 is not installed while its users are packaged: dpkg-shlibdeps
# finds it in the build tree, and the dependency on libpclxl1 is the one above.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/src)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
