#include "sound/WavePlay.h"

// ---------------------------------------------------------------------------
// TPlayerWave

TPlayerWave::TPlayerWave(QObject *owner) : QObject(owner), FService(DefaultWaveService()) {}

TPlayerWave::~TPlayerWave() = default;

bool TPlayerWave::Play()
{
    TWaveRequest request;
    request.Where = FWhereWave;
    if (FWhereWave == wwInRAM)
        request.Data = FWaveData;
    else
        request.Name = FWaveName;
    request.Loop = FLoop;
    request.Async = FAsync;
    return FService.Play(request);
}

void TPlayerWave::Stop()
{
    FService.Stop();
}

// ---------------------------------------------------------------------------
// TWavePlayer

TWavePlayer::TWavePlayer()
{
    // Should making or configuring the component throw, the player is not
    // constructed at all; no half-made player is ever seen.
    FPlayerWave = std::make_unique<TPlayerWave>();
    FPlayerWave->SetLoop(true);
    FPlayerWave->SetAsync(true);
    FPlayerWave->SetWaveName(QStringLiteral("nudger.wav"));
    FPlayerWave->SetWhereWave(wwInFile);
}

// A playing loop is left to the service; it ends with the next Stop of any
// player or when the application ends.
TWavePlayer::~TWavePlayer() = default;

void TWavePlayer::SetResourceWave(const QString &name)
{
    FPlayerWave->SetWaveName(name);
    FPlayerWave->SetWhereWave(wwInResource);
}

void TWavePlayer::Play()
{
    // A refused request still counts as playing, so later ticks do not ask
    // again; one the output failed or cut off is asked for anew.
    if (Playing())
        return;
    FPlayerWave->Play();
    FPlaying = true;
}

void TWavePlayer::Stop()
{
    FPlayerWave->Stop();
    FPlaying = false;
}
