vistrel_fuzz_target(ccitt LIBS vistrel_codec)
