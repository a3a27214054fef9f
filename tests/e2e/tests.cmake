# Tests of e2e/: the real program in real windows under a private X server.
# Each script skips (77) only when Xvfb is missing.
set(nudger_config_tool "")
if(TARGET nudger_config)
    set(nudger_config_tool $<TARGET_FILE:nudger_config>)
endif()

add_test(NAME e2e_start
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/e2e_start.sh
            $<TARGET_FILE:Nudger> ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR} ${nudger_config_tool})
set_tests_properties(e2e_start PROPERTIES
    LABELS e2e
    SKIP_RETURN_CODE 77
    TIMEOUT 120)

# The nudge heard through a private PulseAudio null sink, and fifty starts and
# quits in a row; both skip (77) without Xvfb, PulseAudio or xdotool.
foreach(nudger_e2e_test e2e_sound e2e_quit)
    add_test(NAME ${nudger_e2e_test}
        COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/${nudger_e2e_test}.sh
                $<TARGET_FILE:Nudger> $<TARGET_FILE:nudger_config> ${PROJECT_BINARY_DIR})
endforeach()
set_tests_properties(e2e_sound PROPERTIES LABELS e2e SKIP_RETURN_CODE 77 TIMEOUT 90 RUN_SERIAL TRUE)
set_tests_properties(e2e_quit PROPERTIES LABELS e2e SKIP_RETURN_CODE 77 TIMEOUT 240)

# Starting without a display, twice at once, and as a nameless user in a
# start directory it cannot write.
add_test(NAME e2e_hard_start
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/e2e_hard_start.sh
            $<TARGET_FILE:Nudger> $<TARGET_FILE:nudger_config> ${PROJECT_BINARY_DIR})
set_tests_properties(e2e_hard_start PROPERTIES LABELS e2e SKIP_RETURN_CODE 77 TIMEOUT 120)

# The program under a private headless Weston with Qt's Wayland platform,
# driven over the accessibility bus; skips (77) only when Weston cannot start.
add_test(NAME e2e_wayland
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/e2e_wayland.sh
            $<TARGET_FILE:Nudger> $<TARGET_FILE:nudger_config> ${PROJECT_SOURCE_DIR}
            ${PROJECT_BINARY_DIR})
set_tests_properties(e2e_wayland PROPERTIES LABELS e2e SKIP_RETURN_CODE 77 TIMEOUT 120)

include(${CMAKE_CURRENT_LIST_DIR}/writer.cmake)
