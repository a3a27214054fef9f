// The wave player's state, the requests it makes of the wave service, the
// embedded nudge sound, and the real service's behaviour without a listener.

#include "sound/PulseWaveService_Unit.h"
#include "sound/WavePlay.h"
#include "support/CountingWaveService.h"
#include "support/FileBytes.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <memory>

namespace {

quint32 LE32(const QByteArray &bytes, int offset)
{
    return qFromLittleEndian<quint32>(bytes.constData() + offset);
}

quint16 LE16(const QByteArray &bytes, int offset)
{
    return qFromLittleEndian<quint16>(bytes.constData() + offset);
}

QByteArray NudgeWave()
{
    return ReadAll(WaveResourcePath(QStringLiteral("NUDGE_WAVE")));
}

// Makes the real service the default for as long as it lives, as the
// program's start does.
class TRealWaveService
{
public:
    TRealWaveService() { SetDefaultWaveService(&PulseWaveService()); }
    ~TRealWaveService() { SetDefaultWaveService(nullptr); }
};

} // namespace

class tst_WavePlay : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QCoreApplication::setApplicationName("Nudger"); }

    void newPlayerIsIdleWithTheFileDefault();
    void propertiesWorkByName();
    void stateTable_data();
    void stateTable();
    void refusedPlayStillCountsAsPlaying();
    void requestCarriesTheProperties_data();
    void requestCarriesTheProperties();
    void nudgeRequest();
    void destroyingAPlayingPlayerDoesNotStopTheSound();

    void embeddedWaveHeader();
    void embeddedWaveLoopsSoftly();

    void realServicePlaysAndStopsWithoutBlocking();
    void realServiceRefusesWhatItCannotPlay_data();
    void realServiceRefusesWhatItCannotPlay();
    void realServicePlaysFromEverySource_data();
    void realServicePlaysFromEverySource();
};

void tst_WavePlay::newPlayerIsIdleWithTheFileDefault()
{
    TCountingWaveService service;
    TWavePlayer player;
    QVERIFY(!player.Playing());
    QCOMPARE(player.PlayerWave().WaveName(), QStringLiteral("nudger.wav"));
    QCOMPARE(player.PlayerWave().WhereWave(), wwInFile);
    QVERIFY(player.PlayerWave().Loop());
    QVERIFY(player.PlayerWave().Async());
    QCOMPARE(player.PlayerWave().WaveData(), nullptr);
    QCOMPARE(service.PlayCount, 0);
    QCOMPARE(service.StopCount, 0);
}

void tst_WavePlay::propertiesWorkByName()
{
    TCountingWaveService service;
    TPlayerWave wave;
    QVERIFY(wave.setProperty("WhereWave", QStringLiteral("wwInResource")));
    QCOMPARE(wave.WhereWave(), wwInResource);
    QVERIFY(wave.setProperty("WhereWave", int(wwInRAM)));
    QCOMPARE(wave.WhereWave(), wwInRAM);
    QCOMPARE(wave.property("WhereWave").value<TWhereWave>(), wwInRAM);
    QVERIFY(wave.setProperty("WaveName", QStringLiteral("ding.wav")));
    QVERIFY(wave.setProperty("Loop", true));
    QVERIFY(wave.setProperty("Async", true));
    QCOMPARE(wave.property("WaveName").toString(), QStringLiteral("ding.wav"));
    QVERIFY(wave.property("Loop").toBool());
    QVERIFY(wave.property("Async").toBool());
}

// Each step is 'P' (Play) or 'S' (Stop) on a fresh player, 'X' the sound
// output cutting the sound off, or 'A' the sound output going away.
void tst_WavePlay::stateTable_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("plays");
    QTest::addColumn<int>("stops");
    QTest::addColumn<bool>("playing");

    QTest::newRow("play starts the loop") << "P" << 1 << 0 << true;
    QTest::newRow("second play does not restart") << "PP" << 1 << 0 << true;
    QTest::newRow("stop on idle still asks") << "S" << 0 << 1 << false;
    QTest::newRow("stop twice asks twice") << "PSS" << 1 << 2 << false;
    QTest::newRow("play after stop starts again") << "PSP" << 2 << 1 << true;
    QTest::newRow("many ticks between keystrokes") << "PPPSPPS" << 2 << 2 << false;
    QTest::newRow("a loop cut off is idle") << "PX" << 1 << 0 << false;
    QTest::newRow("the next play after a cut-off starts again") << "PXP" << 2 << 0 << true;
    QTest::newRow("a stop after a cut-off still asks") << "PXS" << 1 << 1 << false;
    QTest::newRow("with no output every play tries again") << "APPP" << 3 << 0 << false;
}

void tst_WavePlay::stateTable()
{
    QFETCH(QString, steps);
    QFETCH(int, plays);
    QFETCH(int, stops);
    QFETCH(bool, playing);

    TCountingWaveService service;
    TWavePlayer player;
    for (QChar step : steps) {
        if (step == u'P')
            player.Play();
        else if (step == u'S')
            player.Stop();
        else if (step == u'X')
            service.Lost = true;
        else
            service.OutputAway = true;
    }
    QCOMPARE(service.PlayCount, plays);
    QCOMPARE(service.StopCount, stops);
    QCOMPARE(player.Playing(), playing);
}

void tst_WavePlay::refusedPlayStillCountsAsPlaying()
{
    TCountingWaveService service;
    service.Refuse = true;
    TWavePlayer player;
    player.SetResourceWave(QStringLiteral("NO_SUCH_WAVE"));

    player.Play();
    QVERIFY(player.Playing());
    player.Play();
    QCOMPARE(service.PlayCount, 1);

    player.Stop();
    QVERIFY(!player.Playing());
    player.Play();
    QCOMPARE(service.PlayCount, 2);
    QCOMPARE(service.StopCount, 1);
}

void tst_WavePlay::requestCarriesTheProperties_data()
{
    QTest::addColumn<int>("where");
    QTest::addColumn<bool>("loop");
    QTest::addColumn<bool>("async");

    QTest::newRow("file, once, waiting") << int(wwInFile) << false << false;
    QTest::newRow("file, looping, async") << int(wwInFile) << true << true;
    QTest::newRow("resource, looping, async") << int(wwInResource) << true << true;
    QTest::newRow("resource, once, async") << int(wwInResource) << false << true;
    QTest::newRow("memory, once, waiting") << int(wwInRAM) << false << false;
    QTest::newRow("memory, looping, async") << int(wwInRAM) << true << true;
}

void tst_WavePlay::requestCarriesTheProperties()
{
    QFETCH(int, where);
    QFETCH(bool, loop);
    QFETCH(bool, async);
    static const char image[] = "RIFF";

    TCountingWaveService service;
    TPlayerWave wave;
    wave.SetWaveName(QStringLiteral("chime.wav"));
    wave.SetWaveData(image);
    wave.SetWhereWave(TWhereWave(where));
    wave.SetLoop(loop);
    wave.SetAsync(async);

    QVERIFY(wave.Play());
    QCOMPARE(service.PlayCount, 1);
    QCOMPARE(service.StopCount, 0);
    const TWaveRequest &r = service.LastRequest;
    QCOMPARE(int(r.Where), where);
    QCOMPARE(r.Loop, loop);
    QCOMPARE(r.Async, async);
    // The sound is the image for memory, the name otherwise.
    if (where == wwInRAM) {
        QCOMPARE(r.Data, image);
        QVERIFY(r.Name.isEmpty());
    } else {
        QCOMPARE(r.Name, QStringLiteral("chime.wav"));
        QCOMPARE(r.Data, nullptr);
    }

    service.Refuse = true;
    QVERIFY(!wave.Play());
    wave.Stop();
    QCOMPARE(service.PlayCount, 2);
    QCOMPARE(service.StopCount, 1);
}

void tst_WavePlay::nudgeRequest()
{
    TCountingWaveService service;
    TWavePlayer player;
    player.SetResourceWave(QStringLiteral("NUDGE_WAVE"));
    player.Play();
    QCOMPARE(service.PlayCount, 1);
    QCOMPARE(service.LastRequest.Where, wwInResource);
    QCOMPARE(service.LastRequest.Name, QStringLiteral("NUDGE_WAVE"));
    QVERIFY(service.LastRequest.Loop);
    QVERIFY(service.LastRequest.Async);
}

void tst_WavePlay::destroyingAPlayingPlayerDoesNotStopTheSound()
{
    TCountingWaveService service;
    {
        TWavePlayer player;
        player.Play();
    }
    QCOMPARE(service.PlayCount, 1);
    QCOMPARE(service.StopCount, 0);
}

void tst_WavePlay::embeddedWaveHeader()
{
    const QByteArray wave = NudgeWave();
    QCOMPARE(wave.size(), 53282);
    QCOMPARE(wave.left(4), QByteArray("RIFF"));
    QCOMPARE(LE32(wave, 4), 53274u);
    QCOMPARE(wave.mid(8, 4), QByteArray("WAVE"));
    QCOMPARE(wave.mid(12, 4), QByteArray("fmt "));
    QCOMPARE(LE32(wave, 16), 16u);
    QCOMPARE(LE16(wave, 20), quint16(1));
    QCOMPARE(LE16(wave, 22), quint16(1));
    QCOMPARE(LE32(wave, 24), 22050u);
    QCOMPARE(LE32(wave, 28), 22050u);
    QCOMPARE(LE16(wave, 32), quint16(1));
    QCOMPARE(LE16(wave, 34), quint16(8));
    QCOMPARE(wave.mid(36, 4), QByteArray("data"));
    QCOMPARE(LE32(wave, 40), 53237u);
}

// The loop joins the end of the wave to its beginning: both must be silence,
// and there must be a sound in between.
void tst_WavePlay::embeddedWaveLoopsSoftly()
{
    const QByteArray wave = NudgeWave();
    QCOMPARE(wave.size(), 53282);
    const QByteArray samples = wave.mid(44, 53237);
    const auto level = [&](int i) { return qAbs(int(quint8(samples.at(i))) - 128); };

    QCOMPARE(level(0), 0);
    int loudest = 0;
    for (int i = 0; i < 22050; ++i)
        loudest = qMax(loudest, level(i));
    QVERIFY2(loudest > 40, qPrintable(QString::number(loudest)));
    QVERIFY2(loudest < 128, "the chime clips");
    // The last half second is silent.
    for (int i = samples.size() - 11025; i < samples.size(); ++i)
        QVERIFY2(level(i) == 0, qPrintable(QStringLiteral("sound at sample %1").arg(i)));
    // No sudden jump at the attack of the first note.
    for (int i = 1; i < 200; ++i)
        QVERIFY2(qAbs(level(i) - level(i - 1)) < 16, qPrintable(QString::number(i)));
}

// Without a sound server (the usual case here) the sound is lost; either way
// neither Play nor Stop may wait for the sound.
void tst_WavePlay::realServicePlaysAndStopsWithoutBlocking()
{
    TRealWaveService service;
    TWavePlayer player;
    player.SetResourceWave(QStringLiteral("NUDGE_WAVE"));

    QElapsedTimer clock;
    clock.start();
    player.Play();
    player.Stop();
    player.Play();
    QTest::qWait(0); // let the sink start, if there is one
    player.Stop();
    QVERIFY(!player.Playing());
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
}

void tst_WavePlay::realServiceRefusesWhatItCannotPlay_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("loop");
    QTest::addColumn<bool>("async");

    QByteArray huge = NudgeWave();
    huge.replace(40, 4, QByteArray("\xff\xff\xff\x7f", 4));
    QByteArray noFormat = NudgeWave();
    noFormat.replace(12, 4, "junk");
    QByteArray noChannels = NudgeWave();
    noChannels[22] = 0;
    QByteArray compressed = NudgeWave();
    compressed[20] = 2;
    QByteArray fmtTooLong = NudgeWave().left(16) + QByteArray("\xff\xff\xff\xff", 4);

    QTest::newRow("empty file") << QByteArray() << true << true;
    QTest::newRow("not a wave") << QByteArray("just some text, long enough") << true << true;
    QTest::newRow("header only") << NudgeWave().left(12) << true << true;
    QTest::newRow("format chunk runs past the end") << fmtTooLong << true << true;
    QTest::newRow("no format chunk") << noFormat << true << true;
    QTest::newRow("no channels") << noChannels << true << true;
    QTest::newRow("not PCM") << compressed << true << true;
    QTest::newRow("loop that would never return") << NudgeWave() << true << false;
    // Accepted with a sound server, refused without; it must not crash.
    QTest::newRow("data chunk longer than the file") << huge << false << true;
}

void tst_WavePlay::realServiceRefusesWhatItCannotPlay()
{
    TRealWaveService service;
    QFETCH(QByteArray, content);
    QFETCH(bool, loop);
    QFETCH(bool, async);

    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString name = dir.filePath(QStringLiteral("sound.wav"));
    QVERIFY(WriteAll(name, content));

    TPlayerWave wave;
    wave.SetWaveName(name);
    wave.SetLoop(loop);
    wave.SetAsync(async);
    const bool accepted = wave.Play();
    wave.Stop();
    if (QByteArray(QTest::currentDataTag()) != "data chunk longer than the file")
        QVERIFY(!accepted);

    wave.SetWaveName(dir.filePath(QStringLiteral("missing.wav")));
    QVERIFY(!wave.Play());
}

// Needs a sound server; tst_WavePlay_pulse runs these tests with one.
void tst_WavePlay::realServicePlaysFromEverySource_data()
{
    QTest::addColumn<int>("where");
    QTest::addColumn<bool>("async");

    QTest::newRow("file") << int(wwInFile) << true;
    QTest::newRow("resource") << int(wwInResource) << true;
    QTest::newRow("memory") << int(wwInRAM) << true;
    QTest::newRow("memory, waiting for the end") << int(wwInRAM) << false;
}

void tst_WavePlay::realServicePlaysFromEverySource()
{
    TRealWaveService service;
    QFETCH(int, where);
    QFETCH(bool, async);
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        QSKIP("no sound server");

    const QByteArray image = NudgeWave();
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString name = dir.filePath(QStringLiteral("nudge.wav"));
    QVERIFY(WriteAll(name, image));

    TPlayerWave wave;
    wave.SetWhereWave(TWhereWave(where));
    wave.SetWaveName(where == wwInFile ? name : QStringLiteral("NUDGE_WAVE"));
    wave.SetWaveData(image.constData());
    wave.SetLoop(async);
    wave.SetAsync(async);

    QElapsedTimer clock;
    clock.start();
    QVERIFY(wave.Play());
    wave.Stop();
    // Waiting for the end takes the wave's 2.4 seconds, and not much more.
    QVERIFY2(clock.elapsed() < (async ? 2000 : 6000), qPrintable(QString::number(clock.elapsed())));
}

QTEST_GUILESS_MAIN(tst_WavePlay)
#include "tst_WavePlay.moc"
