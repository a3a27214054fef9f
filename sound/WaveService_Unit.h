// The wave-sound service the players hand their requests to, and the loader
// that turns a request's wave into PCM samples for a service to play.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

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

// The service every new TPlayerWave uses: the one installed last, or, while
// none is, a silent one that refuses every request. The program installs the
// real service at its start; tests install a double. nullptr uninstalls.
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
