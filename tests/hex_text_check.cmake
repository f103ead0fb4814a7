# Fails when a C++ file of the sources holds text as hex escapes of bytes 0x80-0xFF, two in
# a row (a code page 949 character, or UTF-8): the system's texts live in text/texts.txt,
# the tests write theirs with Cp949("..."). A line that means raw bytes says so with the
# comment "raw bytes: <what they are>". Build folders (and their generated sources) are left out.
cmake_minimum_required(VERSION 3.25)
file(GLOB_RECURSE files RELATIVE ${ROOT} ${ROOT}/*.cpp ${ROOT}/*.h)
set(escape "\\\\[xX][89a-fA-F][0-9a-fA-F]")
set(bad "")
set(count 0)
foreach(f ${files})
  if(f MATCHES "^(build[^/]*|out|\\.git)/")
    continue()
  endif()
  math(EXPR count "${count} + 1")
  file(READ ${ROOT}/${f} text)
  # Every line that says "raw bytes" goes; what is left must hold no such escapes.
  string(REGEX REPLACE "[^\n]*raw bytes[^\n]*" "" text "${text}")
  string(REGEX MATCH "[^\n]*${escape}${escape}[^\n]*" hit "${text}")
  if(hit)
    string(STRIP "${hit}" hit)
    string(APPEND bad "\n  ${f}: ${hit}")
  endif()
endforeach()
if(bad)
  message(FATAL_ERROR "hex-escaped text (write it in text/texts.txt, or mark raw bytes):${bad}")
endif()
message(STATUS "no hex-escaped text in ${count} C++ files")
