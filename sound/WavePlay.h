// The nudge sound: TPlayerWave knows where a wave comes from and hands it to
// the wave service; TWavePlayer is the looping player the main window owns.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

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
    // True when the sound output failed the wave last asked for: it could
    // not start (no sound server, device gone) or was cut off while playing.
    // A new Play may then succeed. The next Play or Stop clears it.
    virtual bool OutputLost() const { return false; }
};

// The service every new TPlayerWave uses. Tests install a double; nullptr
// restores the real one.
TWaveService &DefaultWaveService();
void SetDefaultWaveService(TWaveService *service);

// The Qt resource that carries the wave resource `name`: ":/" + name + ".wav".
QString WaveResourcePath(const QString &name);

// Uncompressed PCM samples and their format.
struct TPcmWave
{
    int SampleRate = 0;
    int Channels = 0;
    int BitsPerSample = 0; // 8 (unsigned) or 16 (signed, little-endian)
    QByteArray Samples;    // whole frames only

    int BytesPerFrame() const { return Channels * BitsPerSample / 8; }
    qint64 DurationMs() const;
};

// The wave a request names, decoded; nothing when it cannot be read or is
// not 8- or 16-bit PCM with one or two channels.
std::optional<TPcmWave> LoadWave(const TWaveRequest &request);

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
