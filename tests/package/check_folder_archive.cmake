# Builds the tar.gz into OUT and checks that it holds the program folder and nothing else, and
# that a program runs from where it is unpacked. Run with -DCPACK= -DCONFIG= -DOUT= -DVERSION=.
file(REMOVE_RECURSE ${OUT})
execute_process(COMMAND ${CPACK} -G TGZ -B ${OUT} --config ${CONFIG}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(result)
  message(FATAL_ERROR "cpack -G TGZ failed:\n${output}")
endif()

set(folder rx7731-${VERSION}-Linux)
file(ARCHIVE_EXTRACT INPUT ${OUT}/${folder}.tar.gz DESTINATION ${OUT}/unpacked)
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${OUT}/unpacked ${OUT}/unpacked/*)
list(SORT files)
set(expected ${folder}/RX7731 ${folder}/data-file.html ${folder}/meter-sim ${folder}/rx7731-cli
    ${folder}/unit2.dat ${folder}/user-guide.html)
if(NOT files STREQUAL expected)
  message(FATAL_ERROR "the tar.gz holds\n  ${files}\ninstead of\n  ${expected}")
endif()

execute_process(COMMAND ${OUT}/unpacked/${folder}/rx7731-cli --version
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(result OR NOT output STREQUAL "rx7731-cli ${VERSION}\n")
  message(FATAL_ERROR "the unpacked rx7731-cli --version gave ${result}: ${output}")
endif()
