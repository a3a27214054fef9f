#include "sound/WaveService_Unit.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {

// ---------------------------------------------------------------------------
// Reading a RIFF WAVE image

// Larger images are refused rather than trusted; the nudge sound is 53 KB.
constexpr quint32 MaxWaveImageSize = 64u * 1024u * 1024u;

quint32 ReadLE32(const char *p)
{
    return qFromLittleEndian<quint32>(p);
}

quint16 ReadLE16(const char *p)
{
    return qFromLittleEndian<quint16>(p);
}

// The complete wave image a request names, from its file, the program's
// resources or memory; nothing when there is none to read.
std::optional<QByteArray> ReadWaveImage(const TWaveRequest &request)
{
    if (request.Where == wwInRAM) {
        // Read afresh every time: the caller may have changed the image. The
        // image's own header tells its length.
        if (!request.Data || std::memcmp(request.Data, "RIFF", 4) != 0)
            return std::nullopt;
        const quint32 length = ReadLE32(request.Data + 4);
        if (length > MaxWaveImageSize)
            return std::nullopt;
        return QByteArray(request.Data, qsizetype(length) + 8);
    }
    if (request.Name.isEmpty() || (request.Where != wwInFile && request.Where != wwInResource))
        return std::nullopt;
    const QString path = request.Where == wwInFile ? request.Name : WaveResourcePath(request.Name);
    // The size is looked at before reading, so a huge file is never read.
    if (QFileInfo(path).size() > MaxWaveImageSize)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray image = file.readAll();
    if (file.error() != QFileDevice::NoError || image.size() > MaxWaveImageSize)
        return std::nullopt;
    return image;
}

// The PCM format and samples of a complete RIFF WAVE image, or nothing when
// the image is not uncompressed 8- or 16-bit PCM with one or two channels.
// A data chunk cut short by the end of the image keeps the whole frames
// that are there.
std::optional<TPcmWave> ParseWave(const QByteArray &image)
{
    const qsizetype size = image.size();
    if (size < 12 || std::memcmp(image.constData(), "RIFF", 4) != 0 ||
        std::memcmp(image.constData() + 8, "WAVE", 4) != 0)
        return std::nullopt;

    std::optional<TPcmWave> format;
    qsizetype pos = 12;
    while (pos + 8 <= size) {
        const char *chunk = image.constData() + pos;
        const qsizetype chunkSize = ReadLE32(chunk + 4);
        const qsizetype body = pos + 8;
        const qsizetype available = std::min<qsizetype>(chunkSize, size - body);

        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (available < 16)
                return std::nullopt;
            const char *f = image.constData() + body;
            const quint16 tag = ReadLE16(f);
            const quint16 channels = ReadLE16(f + 2);
            const quint32 rate = ReadLE32(f + 4);
            const quint16 blockAlign = ReadLE16(f + 12);
            const quint16 bits = ReadLE16(f + 14);
            if (tag != 1 || channels < 1 || channels > 2 || rate < 1000 || rate > 192000 ||
                (bits != 8 && bits != 16) || blockAlign != channels * bits / 8)
                return std::nullopt;
            format = TPcmWave{int(rate), channels, bits, {}};
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!format)
                return std::nullopt;
            const int frame = format->BytesPerFrame();
            const qsizetype whole = available - available % frame;
            if (whole <= 0)
                return std::nullopt;
            format->Samples = image.mid(body, whole);
            return format;
        }
        // Chunks are padded to an even length.
        pos = body + chunkSize + (chunkSize & 1);
    }
    return std::nullopt;
}

// The service while none is installed: no sound output, so every request
// is refused.
class TSilentWaveService final : public TWaveService
{
public:
    bool Play(const TWaveRequest &) override { return false; }
    void Stop() override {}
};

TWaveService *InstalledService = nullptr;

} // namespace

qint64 TPcmWave::DurationMs() const
{
    const qint64 bytesPerSecond = qint64(SampleRate) * BytesPerFrame();
    return bytesPerSecond > 0 ? Samples.size() * 1000 / bytesPerSecond : 0;
}

std::optional<TPcmWave> LoadWave(const TWaveRequest &request)
{
    const std::optional<QByteArray> image = ReadWaveImage(request);
    return image ? ParseWave(*image) : std::nullopt;
}

TWaveService &DefaultWaveService()
{
    static TSilentWaveService silent;
    return InstalledService ? *InstalledService : silent;
}

void SetDefaultWaveService(TWaveService *service)
{
    InstalledService = service;
}

QString WaveResourcePath(const QString &name)
{
    return QStringLiteral(":/") + name + QStringLiteral(".wav");
}
