# Any bytes as a sprite file.
brakkel_fuzzer(ani_fuzz ani_fuzz.cpp brakkel_gfx)
