vistrel_fuzz_target(image LIBS vistrel_content)
