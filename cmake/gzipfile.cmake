# Compresses INPUT into OUTPUT the way Debian wants documentation: best compression and no name
# or time stamp inside, so that the same text always gives the same bytes.
#   cmake -DINPUT=... -DOUTPUT=... -P gzipfile.cmake
function(mosaiq_gzip input output)
    execute_process(COMMAND gzip -9nc ${input} OUTPUT_FILE ${output} RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "gzip ${input} failed (${status})")
    endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    mosaiq_gzip(${INPUT} ${OUTPUT})
endif()
