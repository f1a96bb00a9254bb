vistrel_fuzz_target(filters LIBS vistrel_codec)
