# The programs' icon and version resource on Windows. The icon is drawn from the program's SVG
# at the sizes Windows shows (rsvg-convert from librsvg2-bin, ImageMagick's convert for the .ico).
set(RX_PUBLISHER "RX7731 maintainers")
set(RX_WINDOWS_ICON ${CMAKE_BINARY_DIR}/windows/rx7731.ico)
find_program(RX_RSVG_CONVERT rsvg-convert REQUIRED)
find_program(RX_IMAGEMAGICK_CONVERT convert REQUIRED)
set(sizes 16 24 32 48 256)
set(pngs)
foreach(size ${sizes})
  list(APPEND pngs ${CMAKE_BINARY_DIR}/windows/icon-${size}.png)
endforeach()
set(svg ${PROJECT_SOURCE_DIR}/packaging/icons/rx7731.svg)
set(commands)
foreach(size ${sizes})
  list(APPEND commands COMMAND ${RX_RSVG_CONVERT} -w ${size} -h ${size} -o
       ${CMAKE_BINARY_DIR}/windows/icon-${size}.png ${svg})
endforeach()
add_custom_command(OUTPUT ${RX_WINDOWS_ICON}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/windows
  ${commands}
  COMMAND ${RX_IMAGEMAGICK_CONVERT} ${pngs} ${RX_WINDOWS_ICON}
  DEPENDS ${svg}
  VERBATIM)
add_custom_target(rx_windows_icon DEPENDS ${RX_WINDOWS_ICON})

# Gives `target` (the program named `name`.exe) the icon and a version resource.
function(rx_windows_resource target name description)
  set(RX_RC_NAME ${name})
  set(RX_RC_DESCRIPTION ${description})
  set(rc ${CMAKE_BINARY_DIR}/windows/${name}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/program.rc.in ${rc} @ONLY)
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${RX_WINDOWS_ICON})
  target_sources(${target} PRIVATE ${rc})
  add_dependencies(${target} rx_windows_icon)
endfunction()
