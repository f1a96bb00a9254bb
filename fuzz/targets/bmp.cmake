vistrel_fuzz_target(bmp LIBS vistrel_codec)
