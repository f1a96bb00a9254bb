vistrel_fuzz_target(truetype_font LIBS vistrel_font)
# The pinned font configuration, so that runs do not depend on the machine.
target_compile_definitions(fuzz_truetype_font PRIVATE VISTREL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
