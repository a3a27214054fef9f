# The program as a writer meets it, in real windows under a private X server:
# first start, typing and saving, the nudge, the mark a nudge leaves on the
# window when the writer is elsewhere, the commands, accessibility,
# screenshots, a dark colour scheme, a full disk, the session's end, two
# copies on one file, a logout held through a stand-in desktop portal, and the
# writer's text kept through a kill, a rescue and another program's write,
# the earlier versions of it that the writer finds, compares and restores, a
# name found and replaced all through it, and its spelling checked, corrected
# and kept.
# Each script skips (77) when a tool it needs is missing.
foreach(nudger_e2e_test e2e_first_start e2e_save_close e2e_nudge e2e_attention e2e_commands
        e2e_accessibility e2e_screenshots e2e_dark_scheme e2e_full_disk
        e2e_session_end e2e_two_copies e2e_logout_inhibit e2e_never_last_copy
        e2e_earlier_versions e2e_find_replace e2e_spelling e2e_goal)
    add_test(NAME ${nudger_e2e_test}
        COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/${nudger_e2e_test}.sh
                $<TARGET_FILE:Nudger> $<TARGET_FILE:nudger_config>
                ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR})
    set_tests_properties(${nudger_e2e_test} PROPERTIES
        LABELS e2e
        SKIP_RETURN_CODE 77
        TIMEOUT 120)
endforeach()

# Installing into a temporary prefix and starting through the launcher.
add_test(NAME e2e_install
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/e2e_install.sh
            ${CMAKE_COMMAND} ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR})
set_tests_properties(e2e_install PROPERTIES LABELS e2e SKIP_RETURN_CODE 77 TIMEOUT 120)

# The nudge test measures time between events (as e2e_sound does): it runs
# alone, so that the rest of the suite cannot crowd its timing.
set_tests_properties(e2e_nudge PROPERTIES RUN_SERIAL TRUE)

# A real read error at the start, from a preloaded shim that fails the primary
# file's reads with EIO while a switch file exists.
add_library(nudger_eio_shim MODULE ${CMAKE_CURRENT_LIST_DIR}/eio_shim.cpp)
target_link_libraries(nudger_eio_shim PRIVATE ${CMAKE_DL_LIBS})
add_test(NAME e2e_disk_error
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/e2e_disk_error.sh
            $<TARGET_FILE:Nudger> $<TARGET_FILE:nudger_config>
            ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR} $<TARGET_FILE:nudger_eio_shim>)
set_tests_properties(e2e_disk_error PROPERTIES LABELS e2e SKIP_RETURN_CODE 77 TIMEOUT 120)
