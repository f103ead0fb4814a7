# Any bytes as a replay upload to the ranking server: the head read, the replay checked.
if(TARGET brakkel_rankd)
  brakkel_fuzzer(replay_upload_fuzz replay_upload_fuzz.cpp brakkel_rankd)
endif()
# Seeds for it: uploads of a short game, written into build-fuzz/seeds/replay_upload.
if(TARGET replay_upload_fuzz)
  add_executable(replay_upload_seeds replay_upload_seeds.cpp)
  target_link_libraries(replay_upload_seeds PRIVATE brakkel_rules)
  add_dependencies(replay_upload_fuzz replay_upload_seeds)
  add_custom_command(TARGET replay_upload_fuzz POST_BUILD
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/seeds/replay_upload
                     COMMAND replay_upload_seeds ${CMAKE_BINARY_DIR}/seeds/replay_upload)
endif()
