vistrel_fuzz_target(cff_font LIBS vistrel_font)
