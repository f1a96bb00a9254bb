vistrel_fuzz_target(gdi_font_file LIBS win_gdi)
