vistrel_fuzz_target(dct LIBS vistrel_codec)
