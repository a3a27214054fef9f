#include "sound/WavePlay.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QMediaDevices>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>

namespace {

// ---------------------------------------------------------------------------
// Reading a RIFF WAVE image

// Larger images are refused rather than trusted; the nudge sound is 53 KB.
constexpr quint32 MaxWaveImageSize = 64u * 1024u * 1024u;

quint32 ReadLE32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return quint32(u[0]) | (quint32(u[1]) << 8) | (quint32(u[2]) << 16) | (quint32(u[3]) << 24);
}

quint16 ReadLE16(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return quint16(u[0] | (u[1] << 8));
}

struct TPcmWave
{
    QAudioFormat Format;
    QByteArray Samples;
};

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

    std::optional<QAudioFormat> format;
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
            QAudioFormat f2;
            f2.setSampleRate(int(rate));
            f2.setChannelCount(channels);
            f2.setSampleFormat(bits == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
            format = f2;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!format)
                return std::nullopt;
            const int frame = format->bytesPerFrame();
            const qsizetype whole = available - available % frame;
            if (whole <= 0)
                return std::nullopt;
            return TPcmWave{*format, image.mid(body, whole)};
        }
        // Chunks are padded to an even length.
        pos = body + chunkSize + (chunkSize & 1);
    }
    return std::nullopt;
}

// ---------------------------------------------------------------------------
// The samples as an endless (or single) stream for the audio sink

class TWaveStream : public QIODevice
{
public:
    void Start(const QByteArray &samples, bool loop)
    {
        close();
        FSamples = samples;
        FLoop = loop;
        FPos = 0;
        open(QIODevice::ReadOnly);
    }

    bool isSequential() const override { return true; }

    qint64 bytesAvailable() const override
    {
        const qint64 left =
            FLoop && !FSamples.isEmpty() ? std::numeric_limits<int>::max() : FSamples.size() - FPos;
        return left + QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 size = FSamples.size();
        qint64 done = 0;
        while (done < maxSize && size > 0) {
            if (FPos >= size) {
                if (!FLoop)
                    break;
                FPos = 0;
            }
            const qint64 n = std::min(maxSize - done, size - FPos);
            std::memcpy(data + done, FSamples.constData() + FPos, size_t(n));
            FPos += n;
            done += n;
        }
        return done;
    }

    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray FSamples;
    qint64 FPos = 0;
    bool FLoop = false;
};

// ---------------------------------------------------------------------------
// The real service: Qt Multimedia's audio sink fed from memory. The wave is
// decoded once and kept; the sink is made on the first Play and released
// when the event loop ends or the application object goes away, so nothing
// is left playing (or waiting) at exit. No sample cache, no loader thread.

class TQtWaveService : public TWaveService
{
public:
    bool Play(const TWaveRequest &request) override;
    void Stop() override;

private:
    bool Load(const TWaveRequest &request);
    bool PrepareSink(const QAudioFormat &format);
    static void ReleaseAtExit();

    QString FLoadedKey;
    TPcmWave FWave;
    std::unique_ptr<QAudioSink> FSink;
    std::unique_ptr<TWaveStream> FStream;
    QByteArray FSinkDeviceId;
    QPointer<QCoreApplication> FReleaseHookedTo;
};

TQtWaveService &RealService()
{
    static TQtWaveService service;
    return service;
}

TWaveService *InstalledService = nullptr;

bool TQtWaveService::Load(const TWaveRequest &request)
{
    QString key;
    QByteArray image;
    switch (request.Where) {
    case wwInFile: {
        key = QStringLiteral("file:") + QFileInfo(request.Name).absoluteFilePath();
        if (key == FLoadedKey)
            return true;
        QFile file(request.Name);
        if (request.Name.isEmpty() || !file.open(QIODevice::ReadOnly) ||
            file.size() > MaxWaveImageSize)
            return false;
        image = file.readAll();
        break;
    }
    case wwInResource: {
        key = QStringLiteral("resource:") + request.Name;
        if (key == FLoadedKey)
            return true;
        QFile file(WaveResourcePath(request.Name));
        if (request.Name.isEmpty() || !file.open(QIODevice::ReadOnly))
            return false;
        image = file.readAll();
        break;
    }
    case wwInRAM: {
        if (!request.Data)
            return false;
        // Read afresh every time: the caller may have changed the image, and
        // there is no file to spare. The image's own header tells its length.
        if (std::memcmp(request.Data, "RIFF", 4) != 0)
            return false;
        const quint32 length = ReadLE32(request.Data + 4);
        if (length > MaxWaveImageSize)
            return false;
        image = QByteArray(request.Data, qsizetype(length) + 8);
        break;
    }
    default:
        return false;
    }

    std::optional<TPcmWave> wave = ParseWave(image);
    if (!wave)
        return false;
    FWave = std::move(*wave);
    FLoadedKey = key;
    return true;
}

bool TQtWaveService::PrepareSink(const QAudioFormat &format)
{
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull() || !device.isFormatSupported(format))
        return false;
    if (FSink && FSink->format() == format && FSinkDeviceId == device.id())
        return true;

    // Release the sink when the event loop ends, or else when the application
    // object is destroyed.
    QCoreApplication *app = QCoreApplication::instance();
    if (FReleaseHookedTo != app) {
        FReleaseHookedTo = app;
        QObject::connect(app, &QCoreApplication::aboutToQuit, app, &TQtWaveService::ReleaseAtExit);
        qAddPostRoutine(&TQtWaveService::ReleaseAtExit);
    }
    FSink.reset();
    FSink = std::make_unique<QAudioSink>(device, format);
    FSinkDeviceId = device.id();
    if (!FStream)
        FStream = std::make_unique<TWaveStream>();
    return true;
}

bool TQtWaveService::Play(const TWaveRequest &request)
{
    // A new request replaces whatever is playing, as the platform's own
    // service does, even when the new one then fails.
    Stop();
    // A loop that the caller waits for would never return.
    if (request.Loop && !request.Async)
        return false;
    if (!QCoreApplication::instance() || !Load(request) || !PrepareSink(FWave.Format))
        return false;

    FStream->Start(FWave.Samples, request.Loop);
    FSink->start(FStream.get());
    if (FSink->error() != QAudio::NoError) {
        FSink->stop();
        return false;
    }
    if (request.Async)
        return true;

    // Synchronous: the sink reports the end once it has taken the last
    // sample, which is before that sample is heard, so wait for the wave's
    // own length too. The guard ends the wait should the sink never report.
    const int length = int(FWave.Format.durationForBytes(qint32(FWave.Samples.size())) / 1000);
    QEventLoop wait;
    QTimer played;
    QTimer guard;
    played.setSingleShot(true);
    guard.setSingleShot(true);
    const auto quitWhenDone = [this, &wait, &played] {
        if (!played.isActive() && FSink->state() != QAudio::ActiveState)
            wait.quit();
    };
    QObject::connect(FSink.get(), &QAudioSink::stateChanged, &wait, quitWhenDone);
    QObject::connect(&played, &QTimer::timeout, &wait, quitWhenDone);
    QObject::connect(&guard, &QTimer::timeout, &wait, &QEventLoop::quit);
    played.start(length);
    guard.start(length + 2000);
    wait.exec();
    Stop();
    return true;
}

void TQtWaveService::Stop()
{
    if (FSink)
        FSink->stop();
    if (FStream)
        FStream->close();
}

void TQtWaveService::ReleaseAtExit()
{
    TQtWaveService &service = RealService();
    service.Stop();
    service.FSink.reset();
    service.FStream.reset();
    service.FSinkDeviceId.clear();
}

} // namespace

TWaveService &DefaultWaveService()
{
    return InstalledService ? *InstalledService : RealService();
}

void SetDefaultWaveService(TWaveService *service)
{
    InstalledService = service;
}

QString WaveResourcePath(const QString &name)
{
    return QStringLiteral(":/") + name + QStringLiteral(".wav");
}

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

TWavePlayer::TWavePlayer() : FReady(true), FPlaying(false)
{
    // Should making or configuring the component throw, the player is not
    // constructed at all; no half-ready player is ever seen.
    FPlayerWave = std::make_unique<TPlayerWave>();
    FPlayerWave->SetLoop(true);
    FPlayerWave->SetAsync(true);
    FPlayerWave->SetWaveName(QStringLiteral("nudger.wav"));
    FPlayerWave->SetWhereWave(wwInFile);
}

// A playing loop is left to the service; it ends with the next Stop of any
// player or when the application object goes away.
TWavePlayer::~TWavePlayer() = default;

void TWavePlayer::SetResourceWave(const QString &name)
{
    FPlayerWave->SetWaveName(name);
    FPlayerWave->SetWhereWave(wwInResource);
}

void TWavePlayer::Play()
{
    if (!FReady || FPlaying)
        return;
    FPlayerWave->Play();
    FPlaying = true;
}

void TWavePlayer::Stop()
{
    if (!FReady)
        return;
    FPlayerWave->Stop();
    FPlaying = false;
}
