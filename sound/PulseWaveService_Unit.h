// The real wave service: plays through the PulseAudio sound server (or
// PipeWire's PulseAudio service). The server holds a long buffer of the wave
// and the program tops it up about once a second, so a looping nudge costs
// next to nothing. libpulse is loaded at the first request, never at start.
#pragma once

#include "sound/WaveService_Unit.h"

TWaveService &PulseWaveService();
