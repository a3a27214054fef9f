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
    : QObject(parent), Snapshot(std::move(snapshot)), FolderPath(folder)
{
    if (FolderPath.isEmpty())
        FolderPath = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
                     QStringLiteral("/recovery");
    FolderPath = QDir::cleanPath(QFileInfo(FolderPath).absoluteFilePath());

    Pool.setMaxThreadCount(1);
    PauseTimer.setSingleShot(true);
    PauseTimer.setInterval(DefaultPauseMs);
    MaxDelayTimer.setSingleShot(true);
    MaxDelayTimer.setInterval(DefaultMaxDelayMs);
    connect(&PauseTimer, &QTimer::timeout, this, &TRecoveryCopy::RequestWrite);
    connect(&MaxDelayTimer, &QTimer::timeout, this, &TRecoveryCopy::RequestWrite);

    MakeFolder();
    PurgeAsides();
}

TRecoveryCopy::~TRecoveryCopy()
{
    StopTimers();
    // The jobs use this object; the locks are released only after them.
    Pool.waitForDone();
}

void TRecoveryCopy::SetPrimaryFile(const QString &fileName)
{
    const QString absolute =
        fileName.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(fileName).absoluteFilePath());
    if (absolute == Primary && (absolute.isEmpty() || OwnSlot != 0))
        return;
    StopTimers();
    WriteWanted = false;
    WrittenGeneration = ChangeGeneration;
    ++Epoch;
    ReleaseSlots();
    Primary = absolute;
    Key = Primary.isEmpty() ? QString() : KeyOf(Primary);
    PurgeAsides();
    if (!Primary.isEmpty()) {
        MakeFolder();
        ClaimSlot();
    }
}

QString TRecoveryCopy::PrimaryFile() const
{
    return Primary;
}

void TRecoveryCopy::TextChanged()
{
    if (!IsEnabled || OwnSlot == 0)
        return;
    ++ChangeGeneration;
    PauseTimer.start();
    if (!MaxDelayTimer.isActive())
        MaxDelayTimer.start();
}

void TRecoveryCopy::Discard()
{
    StopTimers();
    WriteWanted = false;
    WrittenGeneration = ChangeGeneration;
    ++Epoch;
    OwnSlotWritten = false;
    // Posted behind any write in flight, which therefore lands first.
    if (OwnSlot != 0)
        PostSmall([path = CopyPath()] { QFile::remove(path); });
    if (OfferLock) {
        PostSmall([path = SlotPath(OfferedSlot, CopySuffix), lock = std::move(OfferLock)] {
            QFile::remove(path);
            Q_UNUSED(lock);
        });
    }
    OfferedSlot = 0;
}

void TRecoveryCopy::WriteNow()
{
    if (!IsEnabled)
        return;
    StopTimers();
    WriteWanted = false;
    WaitForWrites();
    StartWrite();
    WaitForWrites();
}

void TRecoveryCopy::WaitForWrites()
{
    // A finished write may start the next one (changes came meanwhile).
    do {
        Pool.waitForDone();
        DrainResults();
    } while (WritesInFlight > 0);
}

bool TRecoveryCopy::LeftText(QString &text) const
{
    if (OfferedSlot != 0)
        return ReadCopy(SlotPath(OfferedSlot, CopySuffix), Primary, text);
    if (Primary.isEmpty())
        return false;

    int best = 0;
    QDateTime bestTime;
    QString bestText;
    std::shared_ptr<QLockFile> bestLock;
    // Matched by hand: name filters would bring in the regular-expression
    // engine, half a megabyte of memory at every start, for a few names.
    const QStringList names = QDir(FolderPath).entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : names) {
        if (!name.startsWith(Key) || !name.endsWith(CopySuffix))
            continue;
        const QString stem = name.chopped(CopySuffix.size());
        int slot = 1;
        if (stem != Key) {
            bool ok = false;
            slot = stem.mid(Key.size() + 1).toInt(&ok);
            if (!ok || slot < 2 || slot > MaxSlots)
                continue;
        }
        if (slot == OwnSlot)
            continue;
        // A running Nudger's lock cannot be taken; a dead one's can.
        auto lock = std::make_shared<QLockFile>(SlotPath(slot, LockSuffix));
        if (!lock->tryLock(0))
            continue;
        const QString path = SlotPath(slot, CopySuffix);
        const QFileInfo info(path);
        QString slotText;
        if (!ReadCopy(path, Primary, slotText)) {
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

    OfferedSlot = best;
    if (!OwnSlotWritten && WritesInFlight == 0) {
        // Nothing of this object's own is on disk: the offered copy becomes
        // its copy, and the slot it had is free again.
        OwnSlot = best;
        OwnLock = bestLock;
    } else {
        OfferLock = bestLock;
    }
    text = bestText;
    return true;
}

void TRecoveryCopy::SetAside()
{
    if (OfferedSlot == 0)
        return;
    WaitForWrites();
    const QString path = SlotPath(OfferedSlot, CopySuffix);
    const QString stem =
        path.chopped(CopySuffix.size()) + AsideMark + Now().toString(AsideStampFormat);
    QString aside = stem;
    for (int n = 2; QFileInfo::exists(aside) && n <= MaxSlots; ++n)
        aside = stem + QLatin1Char('-') + QString::number(n);
    QFile::rename(path, aside);
    if (OfferedSlot == OwnSlot)
        OwnSlotWritten = false;
    OfferLock.reset();
    OfferedSlot = 0;
}

void TRecoveryCopy::SetDelays(int pauseMs, int maxDelayMs)
{
    PauseTimer.setInterval(pauseMs);
    MaxDelayTimer.setInterval(maxDelayMs);
}

int TRecoveryCopy::PauseMs() const
{
    return PauseTimer.interval();
}

int TRecoveryCopy::MaxDelayMs() const
{
    return MaxDelayTimer.interval();
}

bool TRecoveryCopy::Enabled() const
{
    return IsEnabled;
}

void TRecoveryCopy::SetEnabled(bool enabled)
{
    IsEnabled = enabled;
    if (!enabled) {
        StopTimers();
        WriteWanted = false;
    }
}

QString TRecoveryCopy::CopyPath() const
{
    return OwnSlot == 0 ? QString() : SlotPath(OwnSlot, CopySuffix);
}

QString TRecoveryCopy::Folder() const
{
    return FolderPath;
}

QString TRecoveryCopy::SlotPath(int slot, const QString &suffix) const
{
    QString path = FolderPath + QLatin1Char('/') + Key;
    if (slot > 1)
        path += QLatin1Char('-') + QString::number(slot);
    return path + suffix;
}

void TRecoveryCopy::MakeFolder() const
{
    const QByteArray path = QFile::encodeName(FolderPath);
    if (::mkdir(path.constData(), 0700) != 0 && errno == ENOENT) {
        QDir().mkpath(QFileInfo(FolderPath).absolutePath());
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
            OwnSlot = slot;
            OwnLock = std::move(lock);
            return;
        }
        if (lock->error() != QLockFile::LockFailedError)
            return; // The folder cannot be used.
    }
}

void TRecoveryCopy::ReleaseSlots()
{
    // The locks go only after the jobs already posted for their slots.
    if (OwnLock || OfferLock)
        PostSmall([own = std::move(OwnLock), offer = std::move(OfferLock)] {
            Q_UNUSED(own);
            Q_UNUSED(offer);
        });
    OwnLock.reset();
    OfferLock.reset();
    OwnSlot = 0;
    OfferedSlot = 0;
    OwnSlotWritten = false;
}

void TRecoveryCopy::PurgeAsides()
{
    const QDateTime cutoff = Now().addDays(-AsideDays);
    PostSmall([folder = FolderPath, cutoff] {
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
    PauseTimer.stop();
    MaxDelayTimer.stop();
}

void TRecoveryCopy::RequestWrite()
{
    StopTimers();
    if (WritesInFlight > 0) {
        WriteWanted = true;
        return;
    }
    StartWrite();
}

void TRecoveryCopy::StartWrite()
{
    WriteWanted = false;
    if (!IsEnabled || OwnSlot == 0 || ChangeGeneration == WrittenGeneration)
        return;
    QString text = Snapshot ? Snapshot() : QString();
    ++WritesInFlight;
    OwnSlotWritten = true;
    Post([this, path = CopyPath(), primary = Primary, text = std::move(text), epoch = Epoch,
          generation = ChangeGeneration] {
        const bool ok = WriteCopy(path, primary, text);
        {
            QMutexLocker locker(&ResultsMutex);
            Results.append({epoch, generation, ok});
        }
        QMetaObject::invokeMethod(this, &TRecoveryCopy::DrainResults, Qt::QueuedConnection);
    });
}

void TRecoveryCopy::Post(std::function<void()> job)
{
    Pool.start(std::move(job));
}

void TRecoveryCopy::PostSmall(std::function<void()> job)
{
    // Nothing ahead of it to keep order with: done here and now, so that the
    // worker thread starts only with the first copy to write.
    if (Pool.activeThreadCount() == 0)
        job();
    else
        Post(std::move(job));
}

void TRecoveryCopy::DrainResults()
{
    QVector<TResult> results;
    {
        QMutexLocker locker(&ResultsMutex);
        results.swap(Results);
    }
    if (results.isEmpty())
        return;
    bool written = false;
    bool failed = false;
    for (const TResult &result : std::as_const(results)) {
        --WritesInFlight;
        if (result.Epoch != Epoch)
            continue;
        if (result.Ok) {
            WrittenGeneration = qMax(WrittenGeneration, result.Generation);
            written = true;
            // The offered copy in this object's slot now holds the editor's text.
            if (OfferedSlot == OwnSlot)
                OfferedSlot = 0;
        } else {
            failed = true;
        }
    }
    if (WritesInFlight == 0) {
        if (WriteWanted) {
            StartWrite();
        } else if (failed && ChangeGeneration != WrittenGeneration && !PauseTimer.isActive() &&
                   !MaxDelayTimer.isActive()) {
            // The previous copy stays; try again a little later.
            MaxDelayTimer.start();
        }
    }
    if (written)
        Q_EMIT Written();
}
