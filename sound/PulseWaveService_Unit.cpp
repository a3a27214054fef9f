#include "sound/PulseWaveService_Unit.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QPointer>

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/rtclock.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>
#include <pulse/timeval.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace {

// ---------------------------------------------------------------------------
// libpulse, loaded when the first wave is played. Linking it would load it
// and some twenty libraries behind it (codecs, Kerberos, X11) at every
// start, whether or not the writer ever hears a nudge.

#define NUDGER_PULSE_FUNCTIONS(F)                                                                  \
    F(pa_threaded_mainloop_new)                                                                    \
    F(pa_threaded_mainloop_free)                                                                   \
    F(pa_threaded_mainloop_start)                                                                  \
    F(pa_threaded_mainloop_stop)                                                                   \
    F(pa_threaded_mainloop_lock)                                                                   \
    F(pa_threaded_mainloop_unlock)                                                                 \
    F(pa_threaded_mainloop_get_api)                                                                \
    F(pa_context_new)                                                                              \
    F(pa_context_unref)                                                                            \
    F(pa_context_set_state_callback)                                                               \
    F(pa_context_connect)                                                                          \
    F(pa_context_disconnect)                                                                       \
    F(pa_context_get_state)                                                                        \
    F(pa_context_errno)                                                                            \
    F(pa_context_rttime_new)                                                                       \
    F(pa_rtclock_now)                                                                              \
    F(pa_stream_new)                                                                               \
    F(pa_stream_unref)                                                                             \
    F(pa_stream_set_state_callback)                                                                \
    F(pa_stream_set_write_callback)                                                                \
    F(pa_stream_connect_playback)                                                                  \
    F(pa_stream_disconnect)                                                                        \
    F(pa_stream_get_state)                                                                         \
    F(pa_stream_write)                                                                             \
    F(pa_stream_drain)                                                                             \
    F(pa_operation_unref)                                                                          \
    F(pa_strerror)

struct TPulseLibrary
{
#define NUDGER_PULSE_POINTER(name) decltype(&::name) name = nullptr;
    NUDGER_PULSE_FUNCTIONS(NUDGER_PULSE_POINTER)
#undef NUDGER_PULSE_POINTER

    // True once every function is there; the library stays loaded.
    bool Load()
    {
        QLibrary library(QStringLiteral("pulse"), 0);
        if (!library.load())
            return false;
#define NUDGER_PULSE_RESOLVE(name)                                                                 \
    name = reinterpret_cast<decltype(name)>(library.resolve(#name));                               \
    if (!name)                                                                                     \
        return false;
        NUDGER_PULSE_FUNCTIONS(NUDGER_PULSE_RESOLVE)
#undef NUDGER_PULSE_RESOLVE
        return true;
    }
};

// The server keeps this much of the wave ahead of what it plays and asks for
// more once half of it has gone: about one wake-up a second while a wave
// loops. Stop does not wait for the buffer; it removes the stream at once.
constexpr int BufferedMs = 2000;
constexpr int RefillMs = 1000;
// A stream not playing by then (a server that accepts the connection but
// does not answer, say) counts as failed, so the next request tries anew.
constexpr int StartTimeoutMs = 2000;

// ---------------------------------------------------------------------------
// The service. The GUI thread makes requests; libpulse's own thread runs the
// callbacks. Everything marked "locked" is touched only under the
// mainloop's lock, which the callbacks hold while they run.

class TPulseWaveService final : public TWaveService
{
public:
    ~TPulseWaveService() override { Release(); }

    bool Play(const TWaveRequest &request) override;
    void Stop() override;
    bool OutputLost() const override { return FLost.load(); }

    // Stops everything and ends libpulse's thread; a later Play starts over.
    void Release();

private:
    class TLock
    {
    public:
        explicit TLock(TPulseWaveService &service) : FService(service)
        {
            FService.FPulse.pa_threaded_mainloop_lock(FService.FMainloop);
        }
        ~TLock() { FService.FPulse.pa_threaded_mainloop_unlock(FService.FMainloop); }
        TLock(const TLock &) = delete;
        TLock &operator=(const TLock &) = delete;

    private:
        TPulseWaveService &FService;
    };

    bool Start();
    bool Connect();               // locked
    void OpenStream();            // locked
    void CloseStream();           // locked
    void DropContext();           // locked
    void CancelStartTimeout();    // locked
    void Finish(bool lost);       // locked
    void WriteMore(size_t bytes); // locked

    static void OnContextState(pa_context *context, void *self);
    static void OnStreamState(pa_stream *stream, void *self);
    static void OnWrite(pa_stream *stream, size_t bytes, void *self);
    static void OnDrained(pa_stream *stream, int success, void *self);
    static void OnStartTimeout(pa_mainloop_api *api, pa_time_event *event, const timeval *,
                               void *self);
    static void ReleaseAtExit();

    enum class TLibrary
    {
        NotTried,
        Loaded,
        Missing
    };

    // GUI thread
    TLibrary FLibrary = TLibrary::NotTried;
    TPulseLibrary FPulse;
    pa_threaded_mainloop *FMainloop = nullptr;
    bool FActive = false; // a request may still be sounding
    QPointer<QCoreApplication> FReleaseHookedTo;

    // Locked
    pa_context *FContext = nullptr;
    bool FContextReady = false; // reached ready since it was made
    pa_stream *FStream = nullptr;
    pa_time_event *FStartTimeout = nullptr;
    std::optional<TPcmWave> FWave; // the wave asked for, until it ends or is stopped
    bool FLoop = false;
    qsizetype FWritten = 0; // bytes of the wave handed to the server this round
    bool FDraining = false;

    // Set from libpulse's thread, read anywhere
    std::atomic<bool> FLost{false};
    std::mutex FDoneMutex;
    std::condition_variable FDone;
    bool FFinished = false; // guarded by FDoneMutex
};

bool TPulseWaveService::Start()
{
    if (FMainloop)
        return true;
    if (FLibrary == TLibrary::Missing)
        return false;
    if (FLibrary == TLibrary::NotTried) {
        FLibrary = FPulse.Load() ? TLibrary::Loaded : TLibrary::Missing;
        if (FLibrary == TLibrary::Missing)
            return false;
    }
    FMainloop = FPulse.pa_threaded_mainloop_new();
    if (!FMainloop)
        return false;
    if (FPulse.pa_threaded_mainloop_start(FMainloop) < 0) {
        FPulse.pa_threaded_mainloop_free(FMainloop);
        FMainloop = nullptr;
        return false;
    }
    // Nothing may be left playing, or waiting, once the event loop ends or
    // the application object goes away.
    QCoreApplication *app = QCoreApplication::instance();
    if (app && FReleaseHookedTo != app) {
        FReleaseHookedTo = app;
        QObject::connect(app, &QCoreApplication::aboutToQuit, app,
                         &TPulseWaveService::ReleaseAtExit);
        qAddPostRoutine(&TPulseWaveService::ReleaseAtExit);
    }
    return true;
}

bool TPulseWaveService::Connect()
{
    if (FContext) {
        if (PA_CONTEXT_IS_GOOD(FPulse.pa_context_get_state(FContext)))
            return true;
        DropContext();
    }
    FContext = FPulse.pa_context_new(FPulse.pa_threaded_mainloop_get_api(FMainloop), "Nudger");
    if (!FContext)
        return false;
    FContextReady = false;
    FPulse.pa_context_set_state_callback(FContext, &TPulseWaveService::OnContextState, this);
    // Never start a sound server: with none running the nudge stays silent.
    if (FPulse.pa_context_connect(FContext, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        DropContext();
        return false;
    }
    return true;
}

void TPulseWaveService::DropContext()
{
    if (!FContext)
        return;
    CloseStream();
    FPulse.pa_context_set_state_callback(FContext, nullptr, nullptr);
    FPulse.pa_context_disconnect(FContext);
    FPulse.pa_context_unref(FContext);
    FContext = nullptr;
    FContextReady = false;
}

void TPulseWaveService::OpenStream()
{
    const TPcmWave &wave = *FWave;
    pa_sample_spec sampleFormat{};
    sampleFormat.format = wave.BitsPerSample == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE;
    sampleFormat.rate = quint32(wave.SampleRate);
    sampleFormat.channels = quint8(wave.Channels);
    FStream = FPulse.pa_stream_new(FContext, "Nudge", &sampleFormat, nullptr);
    if (!FStream) {
        Finish(true);
        return;
    }
    FPulse.pa_stream_set_state_callback(FStream, &TPulseWaveService::OnStreamState, this);
    FPulse.pa_stream_set_write_callback(FStream, &TPulseWaveService::OnWrite, this);

    const quint32 bytesPerSecond = sampleFormat.rate * quint32(wave.BytesPerFrame());
    pa_buffer_attr buffer{};
    buffer.maxlength = quint32(-1);
    buffer.tlength = bytesPerSecond * BufferedMs / 1000;
    buffer.prebuf = quint32(-1);
    buffer.minreq = bytesPerSecond * RefillMs / 1000;
    buffer.fragsize = quint32(-1);
    if (FPulse.pa_stream_connect_playback(FStream, nullptr, &buffer, PA_STREAM_NOFLAGS, nullptr,
                                          nullptr) < 0)
        Finish(true);
}

void TPulseWaveService::CloseStream()
{
    CancelStartTimeout();
    if (!FStream)
        return;
    FPulse.pa_stream_set_state_callback(FStream, nullptr, nullptr);
    FPulse.pa_stream_set_write_callback(FStream, nullptr, nullptr);
    FPulse.pa_stream_disconnect(FStream);
    FPulse.pa_stream_unref(FStream);
    FStream = nullptr;
}

void TPulseWaveService::CancelStartTimeout()
{
    if (!FStartTimeout)
        return;
    FPulse.pa_threaded_mainloop_get_api(FMainloop)->time_free(FStartTimeout);
    FStartTimeout = nullptr;
}

// The wave has ended (drained) or the output failed it (lost).
void TPulseWaveService::Finish(bool lost)
{
    CloseStream();
    FWave.reset();
    if (lost)
        FLost = true;
    {
        std::lock_guard<std::mutex> guard(FDoneMutex);
        FFinished = true;
    }
    FDone.notify_all();
}

void TPulseWaveService::WriteMore(size_t bytes)
{
    const QByteArray &samples = FWave->Samples;
    const qsizetype size = samples.size();
    bytes -= bytes % size_t(FWave->BytesPerFrame());
    while (bytes > 0 && (FLoop || FWritten < size)) {
        if (FWritten >= size)
            FWritten = 0;
        const size_t chunk = std::min(bytes, size_t(size - FWritten));
        if (FPulse.pa_stream_write(FStream, samples.constData() + FWritten, chunk, nullptr, 0,
                                   PA_SEEK_RELATIVE) < 0)
            return; // the stream is failing; its state callback follows
        FWritten += qsizetype(chunk);
        bytes -= chunk;
    }
    if (!FLoop && FWritten >= size && !FDraining) {
        // Draining also starts a wave shorter than the server's buffer.
        FDraining = true;
        if (pa_operation *drain =
                FPulse.pa_stream_drain(FStream, &TPulseWaveService::OnDrained, this))
            FPulse.pa_operation_unref(drain);
    }
}

void TPulseWaveService::OnContextState(pa_context *context, void *self)
{
    auto *service = static_cast<TPulseWaveService *>(self);
    if (context != service->FContext)
        return;
    switch (service->FPulse.pa_context_get_state(context)) {
    case PA_CONTEXT_READY:
        service->FContextReady = true;
        if (service->FWave && !service->FStream)
            service->OpenStream();
        break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        // One line for each loss of a server that was there; nothing while
        // there is none.
        if (service->FContextReady) {
            service->FContextReady = false;
            qWarning("Nudger: lost the sound server (%s); nudges are silent until it is back",
                     service->FPulse.pa_strerror(service->FPulse.pa_context_errno(context)));
        }
        if (service->FWave)
            service->Finish(true);
        break;
    default:
        break;
    }
}

void TPulseWaveService::OnStreamState(pa_stream *stream, void *self)
{
    auto *service = static_cast<TPulseWaveService *>(self);
    if (stream != service->FStream)
        return;
    switch (service->FPulse.pa_stream_get_state(stream)) {
    case PA_STREAM_READY:
        service->CancelStartTimeout();
        break;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
        service->Finish(true);
        break;
    default:
        break;
    }
}

void TPulseWaveService::OnWrite(pa_stream *stream, size_t bytes, void *self)
{
    auto *service = static_cast<TPulseWaveService *>(self);
    if (stream == service->FStream && service->FWave)
        service->WriteMore(bytes);
}

void TPulseWaveService::OnDrained(pa_stream *stream, int, void *self)
{
    auto *service = static_cast<TPulseWaveService *>(self);
    if (stream == service->FStream)
        service->Finish(false);
}

void TPulseWaveService::OnStartTimeout(pa_mainloop_api *api, pa_time_event *event, const timeval *,
                                       void *self)
{
    auto *service = static_cast<TPulseWaveService *>(self);
    api->time_free(event);
    service->FStartTimeout = nullptr;
    // A connection that got nowhere is dropped, so the next request makes a
    // new one.
    if (!service->FContextReady)
        service->DropContext();
    if (service->FWave)
        service->Finish(true);
}

bool TPulseWaveService::Play(const TWaveRequest &request)
{
    // A new request replaces whatever is playing, as the platform's own
    // service does, even when the new one then fails.
    Stop();
    // A loop that the caller waits for would never return.
    if (request.Loop && !request.Async)
        return false;
    std::optional<TPcmWave> wave = LoadWave(request);
    if (!wave || !Start())
        return false;
    const qint64 durationMs = wave->DurationMs();

    {
        TLock lock(*this);
        {
            std::lock_guard<std::mutex> guard(FDoneMutex);
            FFinished = false;
        }
        FLost = false;
        FWave = std::move(wave);
        FLoop = request.Loop;
        FWritten = 0;
        FDraining = false;
        if (!Connect()) {
            FWave.reset();
            FLost = true;
            return false;
        }
        FStartTimeout = FPulse.pa_context_rttime_new(
            FContext, FPulse.pa_rtclock_now() + pa_usec_t(StartTimeoutMs) * PA_USEC_PER_MSEC,
            &TPulseWaveService::OnStartTimeout, this);
        if (FContextReady)
            OpenStream();
    }
    FActive = true;
    if (request.Async)
        return true;

    // Synchronous: wait for the server to have played the last sample, or
    // for the output to fail. The deadline ends the wait should neither come.
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(durationMs + StartTimeoutMs + 1000);
    bool finished = false;
    {
        std::unique_lock<std::mutex> guard(FDoneMutex);
        finished = FDone.wait_until(guard, deadline, [this] { return FFinished; });
    }
    const bool heard = finished && !FLost;
    Stop();
    return heard;
}

void TPulseWaveService::Stop()
{
    FLost = false;
    // Every keystroke stops the nudge: with nothing asked for since the last
    // Stop there is nothing to tell the server.
    if (!FActive)
        return;
    TLock lock(*this);
    CloseStream();
    FWave.reset();
    FActive = false;
}

void TPulseWaveService::Release()
{
    if (!FMainloop)
        return;
    {
        TLock lock(*this);
        CloseStream();
        FWave.reset();
        DropContext();
    }
    FPulse.pa_threaded_mainloop_stop(FMainloop);
    FPulse.pa_threaded_mainloop_free(FMainloop);
    FMainloop = nullptr;
    FActive = false;
    FLost = false;
}

TPulseWaveService &Service()
{
    static TPulseWaveService service;
    return service;
}

void TPulseWaveService::ReleaseAtExit()
{
    Service().Release();
}

} // namespace

TWaveService &PulseWaveService()
{
    return Service();
}
