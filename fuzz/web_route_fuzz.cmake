# Any path into the web side's routing, any IPv6 address into the per-address key.
if(TARGET brakkel_rankd)
  brakkel_fuzzer(web_route_fuzz web_route_fuzz.cpp brakkel_rankd)
endif()
