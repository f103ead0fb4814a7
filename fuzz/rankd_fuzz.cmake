# Any client bytes into the ranking server's exchange, with the rankings kept in memory.
if(TARGET brakkel_rankd)
  brakkel_fuzzer(rankd_fuzz rankd_fuzz.cpp brakkel_rankd)
endif()
