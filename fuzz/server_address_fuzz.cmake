# Any text as --server's value or the settings' server line.
brakkel_fuzzer(server_address_fuzz server_address_fuzz.cpp brakkel_app)
