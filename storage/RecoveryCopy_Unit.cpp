#include "storage/RecoveryCopy_Unit.h"

#include "app/PlatformDependence_Unit.h"
#include "storage/WholeFile_Unit.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString CopySuffix = QStringLiteral(".recovery");
const QString LockSuffix = QStringLiteral(".lock");
const QString AsideMark = QStringLiteral(".aside-");
const QString AsideStampFormat = QStringLiteral("yyyyMMdd-hhmmss");
// Far more Nudgers than anyone runs on one file at once.
constexpr int MaxSlots = 99;

QByteArray CopyHeader(const QString &primaryFile)
{
    return QByteArrayLiteral("Nudger recovery copy 1\n") + primaryFile.toUtf8() +
           QByteArrayLiteral("\n\n");
}

// The copy's text when the file is a copy of that primary file's text.
bool ReadCopy(const QString &copyPath, const QString &primaryFile, QString &text)
{
    QByteArray bytes;
    const QByteArray header = CopyHeader(primaryFile);
    if (!ReadWholeFile(copyPath, bytes) || !bytes.startsWith(header))
        return false;
    text = QString::fromUtf8(bytes.constData() + header.size(), bytes.size() - header.size());
    return true;
}

// Runs on the worker. A new copy is created empty with mode 0600 before any
// text goes in, and WriteWholeFile keeps the mode of the file it replaces;
// the mode is checked again afterwards, should the file have been made by
// someone else.
bool WriteCopy(const QString &copyPath, const QString &primaryFile, const QString &text)
{
    const QByteArray nativePath = QFile::encodeName(copyPath);
    const int fd = ::open(nativePath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
    if (!WriteWholeFile(copyPath, CopyHeader(primaryFile) + text.toUtf8()))
        return false;
    struct stat info
    {
    };
    if (::stat(nativePath.constData(), &info) == 0 && (info.st_mode & 07777) != 0600)
        ::chmod(nativePath.constData(), 0600);
    return true;
}

QString KeyOf(const QString &primaryFile)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(primaryFile.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
}

} // namespace

TRecoveryCopy::TRecoveryCopy(TSnapshot snapshot, const QString &folder, QObject *parent)
    : QObject(parent), FSnapshot(std::move(snapshot)), FFolder(folder)
{
    if (FFolder.isEmpty())
        FFolder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
                  QStringLiteral("/recovery");
    FFolder = QDir::cleanPath(QFileInfo(FFolder).absoluteFilePath());

    FPool.setMaxThreadCount(1);
    FPauseTimer.setSingleShot(true);
    FPauseTimer.setInterval(DefaultPauseMs);
    FMaxDelayTimer.setSingleShot(true);
    FMaxDelayTimer.setInterval(DefaultMaxDelayMs);
    connect(&FPauseTimer, &QTimer::timeout, this, &TRecoveryCopy::RequestWrite);
    connect(&FMaxDelayTimer, &QTimer::timeout, this, &TRecoveryCopy::RequestWrite);

    MakeFolder();
    PurgeAsides();
}

TRecoveryCopy::~TRecoveryCopy()
{
    StopTimers();
    // The jobs use this object; the locks are released only after them.
    FPool.waitForDone();
}

void TRecoveryCopy::SetPrimaryFile(const QString &fileName)
{
    const QString absolute =
        fileName.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(fileName).absoluteFilePath());
    if (absolute == FPrimary && (absolute.isEmpty() || FOwnSlot != 0))
        return;
    StopTimers();
    FWriteWanted = false;
    FWrittenGeneration = FChangeGeneration;
    ++FEpoch;
    ReleaseSlots();
    FPrimary = absolute;
    FKey = FPrimary.isEmpty() ? QString() : KeyOf(FPrimary);
    PurgeAsides();
    if (!FPrimary.isEmpty()) {
        MakeFolder();
        ClaimSlot();
    }
}

QString TRecoveryCopy::PrimaryFile() const
{
    return FPrimary;
}

void TRecoveryCopy::TextChanged()
{
    if (!FEnabled || FOwnSlot == 0)
        return;
    ++FChangeGeneration;
    FPauseTimer.start();
    if (!FMaxDelayTimer.isActive())
        FMaxDelayTimer.start();
}

void TRecoveryCopy::Discard()
{
    StopTimers();
    FWriteWanted = false;
    FWrittenGeneration = FChangeGeneration;
    ++FEpoch;
    FOwnSlotWritten = false;
    // Posted behind any write in flight, which therefore lands first.
    if (FOwnSlot != 0)
        PostSmall([path = CopyPath()] { QFile::remove(path); });
    if (FOfferLock) {
        PostSmall([path = SlotPath(FOfferedSlot, CopySuffix), lock = std::move(FOfferLock)] {
            QFile::remove(path);
            Q_UNUSED(lock);
        });
    }
    FOfferedSlot = 0;
}

void TRecoveryCopy::WriteNow()
{
    if (!FEnabled)
        return;
    StopTimers();
    FWriteWanted = false;
    WaitForWrites();
    StartWrite();
    WaitForWrites();
}

void TRecoveryCopy::WaitForWrites()
{
    // A finished write may start the next one (changes came meanwhile).
    do {
        FPool.waitForDone();
        DrainResults();
    } while (FWritesInFlight > 0);
}

bool TRecoveryCopy::LeftText(QString &text) const
{
    if (FOfferedSlot != 0)
        return ReadCopy(SlotPath(FOfferedSlot, CopySuffix), FPrimary, text);
    if (FPrimary.isEmpty())
        return false;

    int best = 0;
    QDateTime bestTime;
    QString bestText;
    std::shared_ptr<QLockFile> bestLock;
    // Matched by hand: name filters would bring in the regular-expression
    // engine, half a megabyte of memory at every start, for a few names.
    const QStringList names = QDir(FFolder).entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : names) {
        if (!name.startsWith(FKey) || !name.endsWith(CopySuffix))
            continue;
        const QString stem = name.chopped(CopySuffix.size());
        int slot = 1;
        if (stem != FKey) {
            bool ok = false;
            slot = stem.mid(FKey.size() + 1).toInt(&ok);
            if (!ok || slot < 2 || slot > MaxSlots)
                continue;
        }
        if (slot == FOwnSlot)
            continue;
        // A running Nudger's lock cannot be taken; a dead one's can.
        auto lock = std::make_shared<QLockFile>(SlotPath(slot, LockSuffix));
        if (!lock->tryLock(0))
            continue;
        const QString path = SlotPath(slot, CopySuffix);
        const QFileInfo info(path);
        QString slotText;
        if (!ReadCopy(path, FPrimary, slotText)) {
            // Created but never filled: the end came before the first write.
            if (info.size() == 0)
                QFile::remove(path);
            continue;
        }
        if (best == 0 || info.lastModified() > bestTime) {
            best = slot;
            bestTime = info.lastModified();
            bestText = slotText;
            bestLock = lock;
        }
    }
    if (best == 0)
        return false;

    FOfferedSlot = best;
    if (!FOwnSlotWritten && FWritesInFlight == 0) {
        // Nothing of this object's own is on disk: the offered copy becomes
        // its copy, and the slot it had is free again.
        FOwnSlot = best;
        FOwnLock = bestLock;
    } else {
        FOfferLock = bestLock;
    }
    text = bestText;
    return true;
}

void TRecoveryCopy::SetAside()
{
    if (FOfferedSlot == 0)
        return;
    WaitForWrites();
    const QString path = SlotPath(FOfferedSlot, CopySuffix);
    const QString stem =
        path.chopped(CopySuffix.size()) + AsideMark + Now().toString(AsideStampFormat);
    QString aside = stem;
    for (int n = 2; QFileInfo::exists(aside) && n <= MaxSlots; ++n)
        aside = stem + QLatin1Char('-') + QString::number(n);
    QFile::rename(path, aside);
    if (FOfferedSlot == FOwnSlot)
        FOwnSlotWritten = false;
    FOfferLock.reset();
    FOfferedSlot = 0;
}

void TRecoveryCopy::SetDelays(int pauseMs, int maxDelayMs)
{
    FPauseTimer.setInterval(pauseMs);
    FMaxDelayTimer.setInterval(maxDelayMs);
}

int TRecoveryCopy::PauseMs() const
{
    return FPauseTimer.interval();
}

int TRecoveryCopy::MaxDelayMs() const
{
    return FMaxDelayTimer.interval();
}

bool TRecoveryCopy::Enabled() const
{
    return FEnabled;
}

void TRecoveryCopy::SetEnabled(bool enabled)
{
    FEnabled = enabled;
    if (!enabled) {
        StopTimers();
        FWriteWanted = false;
    }
}

QString TRecoveryCopy::CopyPath() const
{
    return FOwnSlot == 0 ? QString() : SlotPath(FOwnSlot, CopySuffix);
}

QString TRecoveryCopy::Folder() const
{
    return FFolder;
}

QString TRecoveryCopy::SlotPath(int slot, const QString &suffix) const
{
    QString path = FFolder + QLatin1Char('/') + FKey;
    if (slot > 1)
        path += QLatin1Char('-') + QString::number(slot);
    return path + suffix;
}

void TRecoveryCopy::MakeFolder() const
{
    const QByteArray path = QFile::encodeName(FFolder);
    if (::mkdir(path.constData(), 0700) != 0 && errno == ENOENT) {
        QDir().mkpath(QFileInfo(FFolder).absolutePath());
        ::mkdir(path.constData(), 0700);
    }
    struct stat info
    {
    };
    if (::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
        (info.st_mode & 07777) != 0700)
        ::chmod(path.constData(), 0700);
}

void TRecoveryCopy::ClaimSlot()
{
    // A slot that holds a copy is left for LeftText, whoever holds it.
    for (int slot = 1; slot <= MaxSlots; ++slot) {
        if (QFileInfo::exists(SlotPath(slot, CopySuffix)))
            continue;
        auto lock = std::make_shared<QLockFile>(SlotPath(slot, LockSuffix));
        if (lock->tryLock(0)) {
            FOwnSlot = slot;
            FOwnLock = std::move(lock);
            return;
        }
        if (lock->error() != QLockFile::LockFailedError)
            return; // The folder cannot be used.
    }
}

void TRecoveryCopy::ReleaseSlots()
{
    // The locks go only after the jobs already posted for their slots.
    if (FOwnLock || FOfferLock)
        PostSmall([own = std::move(FOwnLock), offer = std::move(FOfferLock)] {
            Q_UNUSED(own);
            Q_UNUSED(offer);
        });
    FOwnLock.reset();
    FOfferLock.reset();
    FOwnSlot = 0;
    FOfferedSlot = 0;
    FOwnSlotWritten = false;
}

void TRecoveryCopy::PurgeAsides()
{
    const QDateTime cutoff = Now().addDays(-AsideDays);
    PostSmall([folder = FFolder, cutoff] {
        QDir dir(folder);
        const QStringList names = dir.entryList(QDir::Files | QDir::Hidden);
        for (const QString &name : names) {
            const int at = name.lastIndexOf(AsideMark);
            if (at < 0)
                continue;
            const QDateTime stamp = QDateTime::fromString(
                name.mid(at + AsideMark.size(), AsideStampFormat.size()), AsideStampFormat);
            if (stamp.isValid() && stamp < cutoff)
                dir.remove(name);
        }
    });
}

void TRecoveryCopy::StopTimers()
{
    FPauseTimer.stop();
    FMaxDelayTimer.stop();
}

void TRecoveryCopy::RequestWrite()
{
    StopTimers();
    if (FWritesInFlight > 0) {
        FWriteWanted = true;
        return;
    }
    StartWrite();
}

void TRecoveryCopy::StartWrite()
{
    FWriteWanted = false;
    if (!FEnabled || FOwnSlot == 0 || FChangeGeneration == FWrittenGeneration)
        return;
    QString text = FSnapshot ? FSnapshot() : QString();
    ++FWritesInFlight;
    FOwnSlotWritten = true;
    Post([this, path = CopyPath(), primary = FPrimary, text = std::move(text), epoch = FEpoch,
          generation = FChangeGeneration] {
        const bool ok = WriteCopy(path, primary, text);
        {
            QMutexLocker locker(&FResultsMutex);
            FResults.append({epoch, generation, ok});
        }
        QMetaObject::invokeMethod(this, &TRecoveryCopy::DrainResults, Qt::QueuedConnection);
    });
}

void TRecoveryCopy::Post(std::function<void()> job)
{
    FPool.start(std::move(job));
}

void TRecoveryCopy::PostSmall(std::function<void()> job)
{
    // Nothing ahead of it to keep order with: done here and now, so that the
    // worker thread starts only with the first copy to write.
    if (FPool.activeThreadCount() == 0)
        job();
    else
        Post(std::move(job));
}

void TRecoveryCopy::DrainResults()
{
    QVector<TResult> results;
    {
        QMutexLocker locker(&FResultsMutex);
        results.swap(FResults);
    }
    if (results.isEmpty())
        return;
    bool written = false;
    bool failed = false;
    for (const TResult &result : std::as_const(results)) {
        --FWritesInFlight;
        if (result.Epoch != FEpoch)
            continue;
        if (result.Ok) {
            FWrittenGeneration = qMax(FWrittenGeneration, result.Generation);
            written = true;
            // The offered copy in this object's slot now holds the editor's text.
            if (FOfferedSlot == FOwnSlot)
                FOfferedSlot = 0;
        } else {
            failed = true;
        }
    }
    if (FWritesInFlight == 0) {
        if (FWriteWanted) {
            StartWrite();
        } else if (failed && FChangeGeneration != FWrittenGeneration && !FPauseTimer.isActive() &&
                   !FMaxDelayTimer.isActive()) {
            // The previous copy stays; try again a little later.
            FMaxDelayTimer.start();
        }
    }
    if (written)
        Q_EMIT Written();
}
