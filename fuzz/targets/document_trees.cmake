vistrel_fuzz_target(document_trees LIBS vistrel_control)
# The pinned font configuration, so that runs do not depend on the machine.
target_compile_definitions(fuzz_document_trees PRIVATE VISTREL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
