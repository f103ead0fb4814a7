# Fails when a manual page draws any warning from man (groff's included) or gives lexgrog no
# "name - summary" line for whatis and apropos.
foreach(page ${PAGES})
  execute_process(COMMAND ${MAN} --warnings -l -Tutf8 ${page} RESULT_VARIABLE status OUTPUT_VARIABLE text
                  ERROR_VARIABLE warnings)
  if(NOT status EQUAL 0 OR NOT warnings STREQUAL "" OR text STREQUAL "")
    message(FATAL_ERROR "${page}: man ended with ${status}:\n${warnings}")
  endif()
  get_filename_component(name ${page} NAME_WLE)
  execute_process(COMMAND ${LEXGROG} ${page} RESULT_VARIABLE status OUTPUT_VARIABLE whatis ERROR_VARIABLE whatis)
  if(NOT status EQUAL 0 OR NOT whatis MATCHES "\"${name} - ")
    message(FATAL_ERROR "${page}: lexgrog finds no NAME line: ${whatis}")
  endif()
  message(STATUS "${page}: ${whatis}")
endforeach()
