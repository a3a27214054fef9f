list(APPEND NUDGER_LIB_SOURCES
    sound/WavePlay.h sound/WavePlay.cpp
)
