# The reliability suite: kills in the middle of saves, full disks, unwritable
# targets and bad input files, and the private store killed while it keeps and
# prunes. One program, run by CTest in parts that may run side by side.
qt_add_executable(rel_SaveWorker reliability/rel_SaveWorker.cpp)
target_link_libraries(rel_SaveWorker PRIVATE nudger_lib)
target_include_directories(rel_SaveWorker PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
set_target_properties(rel_SaveWorker PROPERTIES MACOSX_BUNDLE OFF)

qt_add_executable(rel_StoreWorker reliability/rel_StoreWorker.cpp)
target_link_libraries(rel_StoreWorker PRIVATE nudger_lib)
target_include_directories(rel_StoreWorker PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
set_target_properties(rel_StoreWorker PROPERTIES MACOSX_BUNDLE OFF)

qt_add_executable(tst_Reliability reliability/tst_Reliability.cpp)
target_link_libraries(tst_Reliability PRIVATE nudger_lib Qt6::Test)
target_include_directories(tst_Reliability PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
set_target_properties(tst_Reliability PROPERTIES MACOSX_BUNDLE OFF)
target_compile_definitions(tst_Reliability PRIVATE
    NUDGER_SAVE_WORKER="$<TARGET_FILE:rel_SaveWorker>"
    NUDGER_STORE_WORKER="$<TARGET_FILE:rel_StoreWorker>")
add_dependencies(tst_Reliability rel_SaveWorker rel_StoreWorker)

foreach(part
        "kills;killWhileSaving"
        "store;storeWhileKilled"
        "faults;fullDisk;unwritableTarget;unprivilegedUser"
        "input;badInput;unchangedFileSavesSameBytes")
    list(POP_FRONT part name)
    add_test(NAME tst_Reliability_${name} COMMAND tst_Reliability ${part})
    set_tests_properties(tst_Reliability_${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;NUDGER_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
        TIMEOUT 300)
endforeach()
