# The Windows build with Qt: its programs and tests run from build/bin as from an unpacked
# folder, with what they load beside them: the Qt DLLs, MinGW's C++ runtime DLLs (which the Qt
# DLLs use too), the Qt plugins, and the fonts that Qt's offscreen platform draws with on Windows
# (it reads fonts only from lib/fonts beside the program; rx7731-cli plot draws there).
set(RX_QT_PLUGINS platforms/qwindows.dll platforms/qoffscreen.dll styles/qwindowsvistastyle.dll
    imageformats/qico.dll imageformats/qsvg.dll iconengines/qsvgicon.dll
    CACHE INTERNAL "The Qt plugins the Windows programs load")
set(RX_WINDOWS_FONTS /usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf
    /usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf
    CACHE INTERNAL "The fonts of rx7731-cli plot on Windows (Debian's fonts-liberation2)")

set(RX_MINGW_RUNTIME)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  get_filename_component(path ${path} REALPATH)
  if(NOT EXISTS ${path})
    message(FATAL_ERROR "MinGW's ${dll} is missing (g++-mingw-w64-x86-64-posix)")
  endif()
  list(APPEND RX_MINGW_RUNTIME ${path})
endforeach()
set(RX_MINGW_RUNTIME ${RX_MINGW_RUNTIME} CACHE INTERNAL "MinGW's runtime DLLs")

set(bin ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
file(GLOB qt_dlls ${RX_QT_WINDOWS}/bin/*.dll)
file(COPY ${qt_dlls} ${RX_MINGW_RUNTIME} DESTINATION ${bin})
foreach(plugin ${RX_QT_PLUGINS})
  get_filename_component(kind ${plugin} DIRECTORY)
  file(COPY ${RX_QT_WINDOWS}/plugins/${plugin} DESTINATION ${bin}/${kind})
endforeach()
foreach(font ${RX_WINDOWS_FONTS})
  if(NOT EXISTS ${font})
    message(FATAL_ERROR "${font} is missing (fonts-liberation2)")
  endif()
endforeach()
file(COPY ${RX_WINDOWS_FONTS} DESTINATION ${bin}/lib/fonts)
