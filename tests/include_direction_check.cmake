cmake_minimum_required(VERSION 3.25)
# Fails when a file includes a library its layer may not use. The layers run one way: text
# (code page 949 and the system's texts) at the bottom, wire (the exchange) on it and replay
# (the replay files) beside them, then platform, gfx, the game's rules, draw (the rules'
# pictures over gfx), then app and ranking, then the programs; the server stands on text,
# wire, replay and the game's rules alone; nothing includes the programs.
# platform/ is a core with libraries of its own under it: the input method client
# (platform/ime) on the core, the dialogs (platform/dialog) on both, and the testing library
# (platform/testing) on the core and the client; the core includes none of them. Above the
# platform, a layer that may use its core may use its dialogs and input method client too;
# the testing library serves only the tools, tests, benchmarks and fuzzers.
set(platform_libraries platform platform/dialog platform/ime)
set(allowed_text "")
set(allowed_wire text)
set(allowed_replay "")
set(allowed_platform text)
set(allowed_platform/ime platform text)
set(allowed_platform/dialog platform/ime platform text)
set(allowed_platform/testing platform/ime platform text)
set(allowed_gfx ${platform_libraries} text)
set(allowed_game replay wire text)
set(allowed_draw game gfx ${platform_libraries} replay wire text)
set(allowed_app draw game gfx ${platform_libraries} replay wire text)
set(allowed_ranking app draw game gfx ${platform_libraries} replay wire text)
set(allowed_server game replay wire text)
set(allowed_programs app ranking draw game gfx ${platform_libraries} replay wire text)
# Tools, tests, benchmarks and fuzzers may use any library, never a program.
set(allowed_anything text wire replay ${platform_libraries} platform/testing gfx game draw app ranking server tools
    tests)
set(layers text wire replay platform gfx game draw app ranking server programs tools tests bench fuzz)
set(platform_below dialog ime testing)

# The library a path (of a file, or in an include) belongs to: its first folder, or for the
# libraries under platform/ its first two.
function(library_of path out)
  string(REGEX MATCH "^[a-z_]+" top "${path}")
  string(REGEX MATCH "^platform/([a-z_]+)/" below "${path}")
  if(below AND CMAKE_MATCH_1 IN_LIST platform_below)
    set(top "platform/${CMAKE_MATCH_1}")
  endif()
  set(${out} "${top}" PARENT_SCOPE)
endfunction()

set(bad "")
foreach(layer ${layers})
  file(GLOB_RECURSE files ${ROOT}/${layer}/*.cpp ${ROOT}/${layer}/*.h)
  foreach(f ${files})
    file(RELATIVE_PATH rel ${ROOT} ${f})
    library_of("${rel}" own)
    if(DEFINED allowed_${own})
      set(ok ${allowed_${own}})
    else()
      set(ok ${allowed_anything})
    endif()
    file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z_]+/")
    foreach(line ${lines})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" path "${line}")
      library_of("${path}" used)
      string(REGEX MATCH "^[a-z_]+" usedLayer "${used}")
      if(used STREQUAL own OR NOT usedLayer IN_LIST layers)
        continue()
      endif()
      if(NOT used IN_LIST ok)
        list(APPEND bad "${rel} includes ${used}/")
      endif()
    endforeach()
  endforeach()
endforeach()
if(bad)
  list(JOIN bad "\n  " text)
  message(FATAL_ERROR "includes against the layers:\n  ${text}")
endif()
message(STATUS "every include runs down the layers")
