# Build-time tools.

# MakeArtwork draws the splash picture and the program icon; both are built
# into the library as resources ":/splash.png" and ":/app_bitmap.png", and the
# icon's pixels as they are as ":/app_icon.rgba", left uncompressed, which the
# program takes for its window icon with no picture to decode at start.
qt_add_executable(MakeArtwork ${CMAKE_CURRENT_LIST_DIR}/MakeArtwork.cpp)
target_link_libraries(MakeArtwork PRIVATE Qt6::Gui)
set_target_properties(MakeArtwork PROPERTIES MACOSX_BUNDLE OFF)
add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/splash.png ${CMAKE_BINARY_DIR}/app_bitmap.png
           ${CMAKE_BINARY_DIR}/app_icon.rgba
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            $<TARGET_FILE:MakeArtwork> ${CMAKE_BINARY_DIR}/splash.png ${CMAKE_BINARY_DIR}/app_bitmap.png
            ${CMAKE_BINARY_DIR}/app_icon.rgba
    DEPENDS MakeArtwork
    COMMENT "Drawing the splash picture and the program icon"
    VERBATIM)
qt_add_resources(nudger_windows "artwork"
    PREFIX "/"
    BASE ${CMAKE_BINARY_DIR}
    FILES ${CMAKE_BINARY_DIR}/splash.png ${CMAKE_BINARY_DIR}/app_bitmap.png)
qt_add_resources(nudger_windows "window_icon"
    PREFIX "/"
    BASE ${CMAKE_BINARY_DIR}
    OPTIONS --no-compress
    FILES ${CMAKE_BINARY_DIR}/app_icon.rgba)

# MakeNudgeWave writes the nudge sound, carried as the resource
# ":/NUDGE_WAVE.wav" (resources/resources.cmake).
add_executable(MakeNudgeWave ${CMAKE_CURRENT_LIST_DIR}/MakeNudgeWave.cpp)
add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/NUDGE_WAVE.wav
    COMMAND MakeNudgeWave ${CMAKE_BINARY_DIR}/NUDGE_WAVE.wav
    DEPENDS MakeNudgeWave
    COMMENT "Generating the nudge sound"
    VERBATIM)

# MakeTovrinData scrambles the built-in suggestions into nudger.dat beside the
# program.
add_executable(MakeTovrinData ${CMAKE_CURRENT_LIST_DIR}/MakeTovrinData.cpp)
target_link_libraries(MakeTovrinData PRIVATE nudger_storage)
add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/nudger.dat
    COMMAND MakeTovrinData ${PROJECT_SOURCE_DIR}/resources/suggestions.txt
            ${CMAKE_BINARY_DIR}/nudger.dat
    DEPENDS MakeTovrinData ${PROJECT_SOURCE_DIR}/resources/suggestions.txt
    COMMENT "Scrambling the built-in suggestions into nudger.dat"
    VERBATIM)
add_custom_target(nudger_data ALL DEPENDS ${CMAKE_BINARY_DIR}/nudger.dat)
add_dependencies(Nudger nudger_data)

# nudger_config reads or writes values of a start directory's Nudger.cfg from
# scripts.
add_executable(nudger_config ${CMAKE_CURRENT_LIST_DIR}/NudgerConfig.cpp)
target_link_libraries(nudger_config PRIVATE nudger_storage)
