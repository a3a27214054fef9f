# Readers of stored values: only EConvertError may leave them. The unit under
# test is compiled into each fuzzer so that it carries coverage feedback.
set(NUDGER_FUZZ_CONVERSIONS ${PROJECT_SOURCE_DIR}/storage/Conversions_Unit.cpp)
nudger_add_fuzzer(fuzz_text_to_font fuzz_text_to_font.cpp ${NUDGER_FUZZ_CONVERSIONS})
nudger_add_fuzzer(fuzz_text_to_color fuzz_text_to_color.cpp ${NUDGER_FUZZ_CONVERSIONS})
nudger_add_fuzzer(fuzz_text_to_datetime fuzz_text_to_datetime.cpp ${NUDGER_FUZZ_CONVERSIONS})
