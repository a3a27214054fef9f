// A TWaveService double for tests: counts play and stop requests, keeps the
// last play request, tells whether a sound is running, and can be told to
// refuse, to cut the sound off or to have no sound output at all. Installs
// itself as the default service for as long as it lives, so create it before
// the players.
#pragma once

#include "sound/WavePlay.h"

class TCountingWaveService : public TWaveService
{
public:
    TCountingWaveService() { SetDefaultWaveService(this); }
    ~TCountingWaveService() override { SetDefaultWaveService(nullptr); }

    bool Play(const TWaveRequest &request) override
    {
        ++PlayCount;
        LastRequest = request;
        Lost = OutputAway;
        FRunning = !Refuse && !OutputAway;
        return FRunning;
    }
    void Stop() override
    {
        ++StopCount;
        Lost = false;
        FRunning = false;
    }
    bool OutputLost() const override { return Lost; }
    // A play request was accepted and neither a stop nor the output has
    // ended it since.
    bool Sounding() const { return FRunning && !Lost; }

    int PlayCount = 0;
    int StopCount = 0;
    TWaveRequest LastRequest;
    bool Refuse = false;     // answer every play request with false
    bool OutputAway = false; // no sound output: every request fails and is lost
    bool Lost = false;       // the output cut the last sound off

private:
    bool FRunning = false;
};
