# Fails when a game program holds code only tests use (the platform's testing library):
# its symbols are looked for in the program itself.
execute_process(COMMAND nm -C ${PROGRAM} OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm cannot read ${PROGRAM}")
endif()
if(symbols MATCHES "platform::(Push[A-Za-z]+|ShownPixels|PresentedPictures|DecodeAudioFile)\\(")
  message(FATAL_ERROR "${PROGRAM} holds test-only code: ${CMAKE_MATCH_0}")
endif()
message(STATUS "no test-only code in ${PROGRAM}")
