# Tests of sound/.
nudger_add_test(tst_WavePlay sound/tst_WavePlay.cpp)

# The same tests with a private sound server, so that the real service
# plays; skips (77) without PulseAudio.
add_test(NAME tst_WavePlay_pulse
    COMMAND bash -c "source \"$0\" && \"$1\"" ${CMAKE_CURRENT_SOURCE_DIR}/e2e/pulse_env.sh
            $<TARGET_FILE:tst_WavePlay>)
set_tests_properties(tst_WavePlay_pulse PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;NUDGER_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
    LABELS e2e
    SKIP_RETURN_CODE 77
    TIMEOUT 120)
