# The user guide and the data file's description as HTML pages to read beside the program or in
# the package's documents, made from docs/*.md at build time by cmark-gfm (tools/docs_html.py:
# GitHub's anchors, links between the two pages, the pictures inside the page).
#
# rx_user_guide_html(<folder> <variable>) makes <folder>/user-guide.html and
# <folder>/data-file.html, and sets <variable> to their paths for the install rules.
function(rx_user_guide_html folder variable)
  find_program(RX_CMARK_GFM cmark-gfm NO_CACHE)
  find_program(RX_DOCS_PYTHON python3 NO_CACHE)
  if(NOT RX_CMARK_GFM OR NOT RX_DOCS_PYTHON)
    message(FATAL_ERROR "cmark-gfm or python3 is missing: the packages' user guide cannot be "
      "made (`make deps` installs them)")
  endif()
  set(pages ${PROJECT_SOURCE_DIR}/docs/user-guide.md ${PROJECT_SOURCE_DIR}/docs/data-file.md)
  set(outputs ${folder}/user-guide.html ${folder}/data-file.html)
  # The pictures the guide shows are part of its page.
  file(GLOB pictures ${PROJECT_SOURCE_DIR}/docs/*.png
       ${PROJECT_SOURCE_DIR}/packaging/screenshots/*.png)
  add_custom_command(OUTPUT ${outputs}
    COMMAND ${RX_DOCS_PYTHON} ${PROJECT_SOURCE_DIR}/tools/docs_html.py html
            --cmark ${RX_CMARK_GFM} --output ${folder} ${pages}
    DEPENDS ${pages} ${pictures} ${PROJECT_SOURCE_DIR}/tools/docs_html.py
    COMMENT "Making the user guide's HTML pages"
    VERBATIM)
  set(${variable} ${outputs} PARENT_SCOPE)
endfunction()
