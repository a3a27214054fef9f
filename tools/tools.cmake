# Build-time tools.

# MakeArtwork draws the splash picture and the program icon; both are built
# into the library as resources ":/splash.png" and ":/app_bitmap.png".
qt_add_executable(MakeArtwork ${CMAKE_CURRENT_LIST_DIR}/MakeArtwork.cpp)
target_link_libraries(MakeArtwork PRIVATE Qt6::Gui)
set_target_properties(MakeArtwork PROPERTIES MACOSX_BUNDLE OFF)
add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/splash.png ${CMAKE_BINARY_DIR}/app_bitmap.png
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            $<TARGET_FILE:MakeArtwork> ${CMAKE_BINARY_DIR}/splash.png ${CMAKE_BINARY_DIR}/app_bitmap.png
    DEPENDS MakeArtwork
    COMMENT "Drawing the splash picture and the program icon"
    VERBATIM)
qt_add_resources(nudger_lib "artwork"
    PREFIX "/"
    BASE ${CMAKE_BINARY_DIR}
    FILES ${CMAKE_BINARY_DIR}/splash.png ${CMAKE_BINARY_DIR}/app_bitmap.png)

# MakeNudgeWave writes the nudge sound, carried as the resource
# ":/NUDGE_WAVE.wav" (resources/resources.cmake).
add_executable(MakeNudgeWave ${CMAKE_CURRENT_LIST_DIR}/MakeNudgeWave.cpp)
add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/NUDGE_WAVE.wav
    COMMAND MakeNudgeWave ${CMAKE_BINARY_DIR}/NUDGE_WAVE.wav
    DEPENDS MakeNudgeWave
    COMMENT "Generating the nudge sound"
    VERBATIM)
