list(APPEND NUDGER_SOUND_SOURCES
    sound/WaveService_Unit.h sound/WaveService_Unit.cpp
    sound/WavePlay.h sound/WavePlay.cpp
    sound/PulseWaveService_Unit.h sound/PulseWaveService_Unit.cpp
)
