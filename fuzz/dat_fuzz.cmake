# Any bytes as a ranking file, and the listing written from what was read.
brakkel_fuzzer(dat_fuzz dat_fuzz.cpp brakkel_ranking)
# Seeds for it: ranking files written by the game's own code into build-fuzz/seeds/dat.
if(TARGET dat_fuzz)
  add_executable(dat_seeds dat_seeds.cpp)
  target_link_libraries(dat_seeds PRIVATE brakkel_ranking)
  add_dependencies(dat_fuzz dat_seeds)
  add_custom_command(TARGET dat_fuzz POST_BUILD
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/seeds/dat
                     COMMAND dat_seeds ${CMAKE_BINARY_DIR}/seeds/dat)
endif()
