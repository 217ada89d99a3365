# libxlsxwriter for the export's workbooks, as the target rx_xlsxwriter. Natively Debian's
# libxlsxwriter-dev (pkg-config xlsxwriter). In a cross-build its 1.1.4 sources from ../shared
# are built with the same toolchain as a static library, on Debian's zlib for MinGW-w64
# (libz-mingw-w64-dev), linked statically too. Printing numbers the C99 way there, as on Linux,
# gives a workbook the same bytes on both (MSVCRT writes exponents with three digits).
if(TARGET rx_xlsxwriter)
  return()
endif()
if(NOT CMAKE_CROSSCOMPILING)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(RX_XLSXWRITER REQUIRED IMPORTED_TARGET GLOBAL xlsxwriter)
  add_library(rx_xlsxwriter INTERFACE IMPORTED GLOBAL)
  target_link_libraries(rx_xlsxwriter INTERFACE PkgConfig::RX_XLSXWRITER)
  return()
endif()

include(ExternalProject)
set(RX_XLSXWRITER_ARCHIVE ${PROJECT_SOURCE_DIR}/../shared/libxlsxwriter/libxlsxwriter-1.1.4.tar.gz
    CACHE FILEPATH "libxlsxwriter's 1.1.4 sources for a cross-build")
set(prefix ${CMAKE_BINARY_DIR}/libxlsxwriter)
find_library(RX_MINGW_ZLIB NAMES libz.a REQUIRED)
set(launcher)
if(CMAKE_C_COMPILER_LAUNCHER)
  set(launcher -DCMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER})
endif()
ExternalProject_Add(libxlsxwriter_sources
  URL ${RX_XLSXWRITER_ARCHIVE}
  PREFIX ${prefix}
  INSTALL_DIR ${prefix}/install
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR>
    -DCMAKE_INSTALL_LIBDIR=lib -DCMAKE_C_FLAGS=-D__USE_MINGW_ANSI_STDIO=1 ${launcher}
  BUILD_BYPRODUCTS <INSTALL_DIR>/lib/libxlsxwriter.a)
file(MAKE_DIRECTORY ${prefix}/install/include)
add_library(rx_xlsxwriter STATIC IMPORTED GLOBAL)
set_target_properties(rx_xlsxwriter PROPERTIES
  IMPORTED_LOCATION ${prefix}/install/lib/libxlsxwriter.a
  INTERFACE_INCLUDE_DIRECTORIES ${prefix}/install/include
  INTERFACE_LINK_LIBRARIES ${RX_MINGW_ZLIB})
