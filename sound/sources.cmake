list(APPEND NUDGER_SOUND_SOURCES
    sound/WavePlay.h sound/WavePlay.cpp
    sound/PulseWaveService_Unit.h sound/PulseWaveService_Unit.cpp
)
