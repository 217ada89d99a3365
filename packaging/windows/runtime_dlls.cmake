# Run at install time, after the programs and plugins are installed: installs beside them every
# DLL that they, or the DLLs they load, import from Qt or MinGW, read from their import tables
# with MinGW's objdump. What is left must be part of Windows. Set by the install rule:
# RX_PROGRAMS, RX_PLUGINS (relative to the program folder), RX_DLL_LOOKUP (lower-case links to
# the DLLs that may be installed), RX_OBJDUMP, RX_STRIP, RX_WINDOWS_IMPORT_LIBS (MinGW's import
# libraries of Windows' own DLLs).
set(folder "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(programs)
foreach(program ${RX_PROGRAMS})
  list(APPEND programs ${folder}/${program})
endforeach()
set(plugins)
foreach(plugin ${RX_PLUGINS})
  list(APPEND plugins ${folder}/${plugin})
endforeach()

set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM windows+pe)
set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL objdump)
set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND ${RX_OBJDUMP})
file(GET_RUNTIME_DEPENDENCIES
  EXECUTABLES ${programs}
  MODULES ${plugins}
  DIRECTORIES ${RX_DLL_LOOKUP}
  # API sets name no file: Windows maps them to its own DLLs.
  PRE_EXCLUDE_REGEXES "^api-ms-" "^ext-ms-"
  RESOLVED_DEPENDENCIES_VAR dlls
  UNRESOLVED_DEPENDENCIES_VAR unresolved
  CONFLICTING_DEPENDENCIES_PREFIX conflict)
# A DLL that an earlier install into the same folder left there is found both there and among
# the links; the links' one is installed (again).
foreach(name ${conflict_FILENAMES})
  list(APPEND dlls ${RX_DLL_LOOKUP}/${name})
endforeach()

# Windows' own DLLs are those MinGW has import libraries for.
file(GLOB import_libs RELATIVE ${RX_WINDOWS_IMPORT_LIBS} ${RX_WINDOWS_IMPORT_LIBS}/lib*.a)
string(TOLOWER "${import_libs}" import_libs)
set(missing)
foreach(name ${unresolved})
  string(REGEX REPLACE "\\.dll$" ".a" import_lib "lib${name}")
  list(FIND import_libs ${import_lib} found)
  if(found EQUAL -1)
    list(APPEND missing ${name})
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "The Windows programs import ${missing}, found neither among Qt's and "
    "MinGW's DLLs (${RX_DLL_LOOKUP}) nor among Windows' own")
endif()

foreach(dll ${dlls})
  get_filename_component(dll ${dll} REALPATH)
  file(INSTALL DESTINATION ${folder} TYPE SHARED_LIBRARY FILES ${dll})
  # Debian's MinGW runtime DLLs carry their debugging information: libstdc++ is 24 MB with it,
  # 2 MB without.
  if(CMAKE_INSTALL_DO_STRIP)
    get_filename_component(name ${dll} NAME)
    execute_process(COMMAND ${RX_STRIP} --strip-unneeded ${folder}/${name}
                    RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "${RX_STRIP} could not strip ${folder}/${name}")
    endif()
  endif()
endforeach()
