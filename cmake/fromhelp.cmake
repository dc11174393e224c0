# Runs `CLI --help` and turns its text into OUTPUT with the awk program SCRIPT (VERSION and DATE
# are handed to it), so that the manual page and the completion list the options of the very
# program they are installed with. An OUTPUT ending in .gz is compressed as Debian wants it.
#   cmake -DCLI=... -DSCRIPT=... -DOUTPUT=... [-DVERSION=... -DDATE=...] -P fromhelp.cmake
execute_process(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${CLI} --help
    OUTPUT_FILE ${OUTPUT}.help RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${CLI} --help failed (${status})")
endif()
string(REGEX REPLACE "\\.gz$" "" plain "${OUTPUT}")
execute_process(COMMAND awk -v version=${VERSION} -v date=${DATE} -f ${SCRIPT}
    INPUT_FILE ${OUTPUT}.help OUTPUT_FILE ${plain} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "awk -f ${SCRIPT} failed (${status})")
endif()
if(NOT plain STREQUAL OUTPUT)
    include(${CMAKE_CURRENT_LIST_DIR}/gzipfile.cmake)
    mosaiq_gzip(${plain} ${OUTPUT})
endif()
