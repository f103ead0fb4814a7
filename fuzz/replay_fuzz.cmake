# Any bytes as a replay file, read and played again.
brakkel_fuzzer(replay_fuzz replay_fuzz.cpp brakkel_rules)
# Seeds for it: replays written by the format's own code into build-fuzz/seeds/replay.
if(TARGET replay_fuzz)
  add_executable(replay_seeds replay_seeds.cpp)
  target_link_libraries(replay_seeds PRIVATE brakkel_replay)
  add_dependencies(replay_fuzz replay_seeds)
  add_custom_command(TARGET replay_fuzz POST_BUILD
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/seeds/replay
                     COMMAND replay_seeds ${CMAKE_BINARY_DIR}/seeds/replay)
endif()
