# Any bytes as a kept score's row read back from PostgreSQL.
if(TARGET brakkel_rankd)
  brakkel_fuzzer(store_row_fuzz store_row_fuzz.cpp brakkel_rankd)
endif()
