# Header-only libraries for a cross-build, taken from the build machine's Debian packages: only
# the library's own folder is copied into the build, never the build machine's /usr/include,
# whose C library headers are not the target's. Natively the library's own CMake package is used.
#   rx_header_library(nlohmann_json nlohmann_json::nlohmann_json nlohmann/json.hpp)
function(rx_header_library package target header)
  if(TARGET ${target})
    return()
  endif()
  if(NOT CMAKE_CROSSCOMPILING)
    find_package(${package} REQUIRED)
    return()
  endif()
  string(REGEX REPLACE "/.*" "" folder ${header})
  find_path(RX_HOST_${package}_INCLUDE ${header} PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH
            REQUIRED)
  file(COPY ${RX_HOST_${package}_INCLUDE}/${folder} DESTINATION ${CMAKE_BINARY_DIR}/host-include)
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  target_include_directories(${target} INTERFACE ${CMAKE_BINARY_DIR}/host-include)
endfunction()
