vistrel_fuzz_target(png LIBS vistrel_codec)
