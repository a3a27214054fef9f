// The nudge sound: TPlayerWave knows where a wave comes from and hands it to
// the wave service; TWavePlayer is the looping player the main window owns.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

enum TWhereWave { wwInFile = 0, wwInResource = 1, wwInRAM = 2 };

// What one play request asks of the wave service.
struct TWaveRequest
{
    TWhereWave Where = wwInFile;
    QString Name;          // file name, or resource name
    const char *Data = nullptr; // a complete wave image in memory (wwInRAM)
    bool Loop = false;
    bool Async = false;
};

// The platform's wave-sound service. Play returns whether the request was
// accepted; Stop ends any wave the program is playing.
class TWaveService
{
public:
    virtual ~TWaveService() = default;
    virtual bool Play(const TWaveRequest &request) = 0;
    virtual void Stop() = 0;
};

// The service every new TPlayerWave uses. Tests install a double; nullptr
// restores the real one.
TWaveService &DefaultWaveService();
void SetDefaultWaveService(TWaveService *service);

class TPlayerWave : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString WaveName READ WaveName WRITE SetWaveName)
    Q_PROPERTY(TWhereWave WhereWave READ WhereWave WRITE SetWhereWave)
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

    bool Play();
    void Stop();

private:
    QString FWaveName;
    const char *FWaveData = nullptr;
    TWhereWave FWhereWave = wwInFile;
    bool FLoop = false;
    bool FAsync = false;
    TWaveService &FService;
};

class TWavePlayer
{
public:
    TWavePlayer();
    ~TWavePlayer();

    void SetResourceWave(const QString &name);
    void Play();
    void Stop();

    bool Ready() const { return FReady; }
    bool Playing() const { return FPlaying; }
    TPlayerWave &PlayerWave() { return *FPlayerWave; }

private:
    std::unique_ptr<TPlayerWave> FPlayerWave;
    bool FReady = false;
    bool FPlaying = false;
};
