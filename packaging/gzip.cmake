# cmake -DIN=<file> -DOUT=<file.gz> -P gzip.cmake: compresses as Debian wants pages and
# changelogs, at the highest level and with no name or time stamp in the header.
execute_process(COMMAND gzip -9 -n -c INPUT_FILE "${IN}" OUTPUT_FILE "${OUT}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE "${OUT}")
  message(FATAL_ERROR "gzip of ${IN} failed (${result})")
endif()
