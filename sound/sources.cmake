list(APPEND NUDGER_SOUND_SOURCES
    sound/WavePlay.h sound/WavePlay.cpp
)
