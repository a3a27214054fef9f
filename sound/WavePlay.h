// The nudge sound: TPlayerWave knows where a wave comes from and hands it to
// the wave service; TWavePlayer is the looping player the main window owns.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

// Where a wave comes from. Registered with the meta-object system so that
// TPlayerWave's WhereWave can be read and written by name.
namespace WaveSource {
Q_NAMESPACE
enum TWhereWave
{
    wwInFile = 0,
    wwInResource = 1,
    wwInRAM = 2
};
Q_ENUM_NS(TWhereWave)
} // namespace WaveSource

using WaveSource::TWhereWave;
using WaveSource::wwInFile;
using WaveSource::wwInRAM;
using WaveSource::wwInResource;

// What one play request asks of the wave service.
struct TWaveRequest
{
    TWhereWave Where = wwInFile;
    QString Name;               // file name, or resource name
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

// The Qt resource that carries the wave resource `name`: ":/" + name + ".wav".
QString WaveResourcePath(const QString &name);

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

private:
    QString FWaveName;
    const char *FWaveData = nullptr;
    TWhereWave FWhereWave = wwInFile;
    bool FLoop = false;
    bool FAsync = false;
    TWaveService &FService;
};

// The nudge's player: looping and asynchronous, started at most once until
// the next Stop.
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
