# Any bytes from the ranking server, in pieces of any size.
brakkel_fuzzer(server_reply_fuzz server_reply_fuzz.cpp brakkel_ranking)
