// The nudge sound: TPlayerWave knows where a wave comes from and hands it to
// the wave service; TWavePlayer is the looping player the main window owns.
#pragma once

#include "sound/WaveService_Unit.h"

#include <QObject>
#include <QString>

#include <memory>

class TPlayerWave : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString WaveName READ WaveName WRITE SetWaveName)
    Q_PROPERTY(WaveSource::TWhereWave WhereWave READ WhereWave WRITE SetWhereWave)
    Q_PROPERTY(bool Loop READ Loop WRITE SetLoop)
    Q_PROPERTY(bool Async READ Async WRITE SetAsync)

public:
    explicit TPlayerWave(QObject *owner = nullptr);
    ~TPlayerWave() override;

    QString WaveName() const { return FWaveName; }
    void SetWaveName(const QString &name) { FWaveName = name; }
    TWhereWave WhereWave() const { return FWhereWave; }
    void SetWhereWave(TWhereWave where) { FWhereWave = where; }
    bool Loop() const { return FLoop; }
    void SetLoop(bool loop) { FLoop = loop; }
    bool Async() const { return FAsync; }
    void SetAsync(bool async) { FAsync = async; }
    const char *WaveData() const { return FWaveData; }
    void SetWaveData(const char *data) { FWaveData = data; }

    // One play request to the service; true when the service accepted it.
    bool Play();
    // One request to stop whatever wave the program is playing.
    void Stop();
    // Whether the sound output failed or cut off the wave last played.
    bool OutputLost() const { return FService.OutputLost(); }

private:
    QString FWaveName;
    const char *FWaveData = nullptr;
    TWhereWave FWhereWave = wwInFile;
    bool FLoop = false;
    bool FAsync = false;
    TWaveService &FService;
};

// The nudge's player: looping and asynchronous, started at most once until
// the next Stop. A loop that the sound output failed or cut off counts as
// stopped, so the next Play asks for it again.
class TWavePlayer
{
public:
    TWavePlayer();
    ~TWavePlayer();

    void SetResourceWave(const QString &name);
    void Play();
    void Stop();

    bool Playing() const { return FPlaying && !FPlayerWave->OutputLost(); }
    TPlayerWave &PlayerWave() { return *FPlayerWave; }

private:
    std::unique_ptr<TPlayerWave> FPlayerWave;
    bool FPlaying = false;
};
