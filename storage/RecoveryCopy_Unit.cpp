#include "storage/RecoveryCopy_Unit.h"

#include "app/PlatformDependence_Unit.h"
#include "storage/PrivateFolder_Unit.h"
#include "storage/Worker_Unit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

namespace {

const QString CopySuffix = QStringLiteral(".recovery");
const QString LockSuffix = QStringLiteral(".lock");
const QString AsideMark = QStringLiteral(".aside-");
const QString AsideStampFormat = QStringLiteral("yyyyMMdd-hhmmss");
// Far more Nudgers than anyone runs on one file at once.
constexpr int MaxSlots = 99;

// The copy's forms: 1 the primary file and the text; 2 with the version of
// the file the text grew from; 3 with the cursor's place as well.
const QByteArray HeaderMarkOld = QByteArrayLiteral("Nudger recovery copy 1\n");
const QByteArray HeaderMarkBase = QByteArrayLiteral("Nudger recovery copy 2\n");
const QByteArray HeaderMark = QByteArrayLiteral("Nudger recovery copy 3\n");

// The version of the primary file the text grew from, on one line: its
// digest and signature, or "-" when unknown.
QByteArray BaseLine(const QByteArray &digest, const TFileSignature &signature)
{
    if (digest.isEmpty())
        return QByteArrayLiteral("-");
    return digest.toHex() + ' ' + QByteArray::number(signature.Device) + ' ' +
           QByteArray::number(signature.Inode) + ' ' + QByteArray::number(signature.Size) + ' ' +
           QByteArray::number(signature.ModifiedNs) + ' ' + QByteArray::number(signature.ChangedNs);
}

void ParseBaseLine(const QByteArray &line, TLeftCopy &left)
{
    const QList<QByteArray> fields = line.split(' ');
    if (fields.size() != 6 || fields.at(0).size() != 40)
        return;
    left.BaseDigest = QByteArray::fromHex(fields.at(0));
    left.BaseSignature.Exists = true;
    left.BaseSignature.Device = fields.at(1).toULongLong();
    left.BaseSignature.Inode = fields.at(2).toULongLong();
    left.BaseSignature.Size = fields.at(3).toLongLong();
    left.BaseSignature.ModifiedNs = fields.at(4).toLongLong();
    left.BaseSignature.ChangedNs = fields.at(5).toLongLong();
}

// The cursor's place on one line, or "-" when unknown.
QByteArray CursorLine(qsizetype cursor)
{
    return cursor < 0 ? QByteArrayLiteral("-") : QByteArray::number(cursor);
}

qsizetype ParseCursorLine(const QByteArray &line)
{
    bool ok = false;
    const qsizetype cursor = line.toLongLong(&ok);
    return ok && cursor >= 0 ? cursor : -1;
}

QByteArray CopyBytes(const QString &primaryFile, const TRecoverySnapshot &snapshot)
{
    return HeaderMark + primaryFile.toUtf8() + '\n' +
           BaseLine(snapshot.BaseDigest, snapshot.BaseSignature) + '\n' +
           CursorLine(snapshot.Cursor) + "\n\n" + snapshot.Text.toUtf8();
}

// The copy's text when the file is a copy of that primary file's text, in
// this form or an older one.
bool ReadCopy(const QString &copyPath, const QString &primaryFile, TLeftCopy &left)
{
    QByteArray bytes;
    if (!ReadWholeFile(copyPath, bytes))
        return false;
    const QByteArray oldHeader = HeaderMarkOld + primaryFile.toUtf8() + "\n\n";
    qsizetype textStart = -1;
    left = TLeftCopy();
    if (bytes.startsWith(oldHeader)) {
        textStart = oldHeader.size();
    } else {
        const bool withCursor = bytes.startsWith(HeaderMark);
        if (!withCursor && !bytes.startsWith(HeaderMarkBase))
            return false;
        const QByteArray header = bytes.left(HeaderMark.size()) + primaryFile.toUtf8() + '\n';
        if (!bytes.startsWith(header))
            return false;
        const qsizetype end = bytes.indexOf("\n\n", header.size());
        if (end < 0)
            return false;
        const QList<QByteArray> lines = bytes.mid(header.size(), end - header.size()).split('\n');
        ParseBaseLine(lines.value(0), left);
        if (withCursor)
            left.Cursor = ParseCursorLine(lines.value(1));
        textStart = end + 2;
    }
    left.Text = QString::fromUtf8(bytes.constData() + textStart, bytes.size() - textStart);
    left.Written = QFileInfo(copyPath).lastModified();
    return true;
}

} // namespace

TRecoveryCopy::TRecoveryCopy(TSnapshot snapshot, const QString &folder, TWorker *worker,
                             QObject *parent)
    : QObject(parent), FSnapshot(std::move(snapshot)), FFolder(folder), FWorker(worker)
{
    if (!FWorker) {
        FOwnWorker = std::make_unique<TWorker>();
        FWorker = FOwnWorker.get();
    }
    FFolder = FFolder.isEmpty() ? PrivateFolder(QStringLiteral("recovery"))
                                : QDir::cleanPath(QFileInfo(FFolder).absoluteFilePath());

    FPauseTimer.setSingleShot(true);
    FPauseTimer.setInterval(DefaultPauseMs);
    FMaxDelayTimer.setSingleShot(true);
    FMaxDelayTimer.setInterval(DefaultMaxDelayMs);
    connect(&FPauseTimer, &QTimer::timeout, this, &TRecoveryCopy::RequestWrite);
    connect(&FMaxDelayTimer, &QTimer::timeout, this, &TRecoveryCopy::RequestWrite);
}

TRecoveryCopy::~TRecoveryCopy()
{
    StopTimers();
    // The jobs use this object; the locks are released only after them.
    FWorker->WaitForDone();
}

void TRecoveryCopy::SetPrimaryFile(const QString &fileName)
{
    const QString absolute = AbsolutePrimaryPath(fileName);
    if (absolute == FPrimary && (absolute.isEmpty() || FOwnSlot != 0))
        return;
    StopTimers();
    FWriteWanted = false;
    FWrittenGeneration = FChangeGeneration;
    ++FEpoch;
    ReleaseSlots();
    FPrimary = absolute;
    FKey.clear();
    FPrepared = false;
    FClaimTried = QDateTime();
}

void TRecoveryCopy::TakeSlot()
{
    if (FEnabled && !FPrimary.isEmpty() && FOwnSlot == 0)
        ClaimSlot();
}

void TRecoveryCopy::Prepare() const
{
    if (FPrepared)
        return;
    FPrepared = true;
    FKey = PrimaryFileKey(FPrimary);
    MakePrivateFolder(FFolder);
    PurgeAsides();
}

void TRecoveryCopy::MoveTo(const QString &fileName)
{
    if (!FEnabled || FOwnSlot == 0 ||
        (!FOwnSlotWritten && FChangeGeneration == FWrittenGeneration)) {
        SetPrimaryFile(fileName);
        TextChanged();
        return;
    }
    // The old copy and its lock stay until the new copy is on disk.
    const QString oldCopy = FOwnSlotWritten ? CopyPath() : QString();
    std::shared_ptr<QLockFile> oldLock = std::move(FOwnLock);
    FOwnSlotWritten = false;
    SetPrimaryFile(fileName);
    TakeSlot();
    ++FChangeGeneration;
    WaitForWrites();
    FMovedFrom = oldCopy;
    FMovedLock = std::move(oldLock);
    StartWrite(TTaking::AtOnce);
}

QString TRecoveryCopy::PrimaryFile() const
{
    return FPrimary;
}

void TRecoveryCopy::TextChanged()
{
    if (!FEnabled || FPrimary.isEmpty())
        return;
    if (FOwnSlot == 0) {
        // No slot could be taken (a full disk for a moment, a folder that
        // refused): tried again now and then, and the writer told.
        const QDateTime now = Now();
        if (FClaimTried.isValid() && FClaimTried.msecsTo(now) < FMaxDelayTimer.interval())
            return;
        FClaimTried = now;
        ClaimSlot();
        if (FOwnSlot == 0) {
            SetWorking(false);
            return;
        }
    }
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
    StartWrite(TTaking::AtOnce);
    WaitForWrites();
}

void TRecoveryCopy::WaitForWrites()
{
    // A copy still being taken in steps is not waited for (it needs the
    // event loop): it is dropped, and the changes it would have covered
    // count as not written yet.
    if (FSnapshotPending) {
        FSnapshotPending = false;
        ++FSnapshotSerial;
        --FWritesInFlight;
    }
    // A finished write may start the next one (changes came meanwhile).
    do {
        FWorker->WaitForDone();
        DrainResults();
    } while (FWritesInFlight > 0);
}

int TRecoveryCopy::SlotOfName(const QString &name) const
{
    if (!name.startsWith(FKey) || !name.endsWith(CopySuffix))
        return 0;
    const QString stem = name.chopped(CopySuffix.size());
    if (stem == FKey)
        return 1;
    bool ok = false;
    const int slot = stem.mid(FKey.size() + 1).toInt(&ok);
    return ok && slot >= 2 && slot <= MaxSlots ? slot : 0;
}

bool TRecoveryCopy::LeftText(TLeftCopy &left) const
{
    if (FOfferedSlot != 0)
        return ReadCopy(SlotPath(FOfferedSlot, CopySuffix), FPrimary, left);
    if (FPrimary.isEmpty())
        return false;
    Prepare();

    int best = 0;
    QDateTime bestTime;
    TLeftCopy bestCopy;
    std::shared_ptr<QLockFile> bestLock;
    // Matched by hand: name filters would bring in the regular-expression
    // engine, half a megabyte of memory at every start, for a few names.
    const QStringList names = QDir(FFolder).entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : names) {
        const int slot = SlotOfName(name);
        if (slot == 0 || slot == FOwnSlot)
            continue;
        // A running Nudger's lock cannot be taken; a dead one's can.
        auto lock = std::make_shared<QLockFile>(SlotPath(slot, LockSuffix));
        if (!lock->tryLock(0))
            continue;
        const QString path = SlotPath(slot, CopySuffix);
        TLeftCopy slotCopy;
        if (!ReadCopy(path, FPrimary, slotCopy)) {
            // Created but never filled: the end came before the first write.
            if (QFileInfo(path).size() == 0)
                QFile::remove(path);
            continue;
        }
        if (best == 0 || slotCopy.Written > bestTime) {
            best = slot;
            bestTime = slotCopy.Written;
            bestCopy = std::move(slotCopy);
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
    left = std::move(bestCopy);
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

QString TRecoveryCopy::CopyPath() const
{
    return FOwnSlot == 0 ? QString() : SlotPath(FOwnSlot, CopySuffix);
}

void TRecoveryCopy::SetWorking(bool working)
{
    if (working == FWorking)
        return;
    FWorking = working;
    Q_EMIT WorkingChanged(working);
}

QString TRecoveryCopy::SlotPath(int slot, const QString &suffix) const
{
    QString path = FFolder + QLatin1Char('/') + FKey;
    if (slot > 1)
        path += QLatin1Char('-') + QString::number(slot);
    return path + suffix;
}

void TRecoveryCopy::ClaimSlot()
{
    Prepare();
    if (!MakePrivateFolder(FFolder))
        return;
    // A slot that holds a copy is left for LeftText, whoever holds it.
    for (int slot = 1; slot <= MaxSlots; ++slot) {
        if (QFileInfo::exists(SlotPath(slot, CopySuffix)))
            continue;
        bool heldElsewhere = false;
        std::shared_ptr<QLockFile> lock =
            TakePrivateLock(SlotPath(slot, LockSuffix), 0, &heldElsewhere);
        if (lock) {
            FOwnSlot = slot;
            FOwnLock = std::move(lock);
            return;
        }
        if (!heldElsewhere)
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

void TRecoveryCopy::PurgeAsides() const
{
    const QDateTime cutoff = Now().addDays(-AsideDays);
    FWorker->PostSmall([folder = FFolder, cutoff] {
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

void TRecoveryCopy::StartWrite(TTaking taking)
{
    FWriteWanted = false;
    if (!FEnabled || FOwnSlot == 0 || FChangeGeneration == FWrittenGeneration)
        return;
    ++FWritesInFlight;
    FOwnSlotWritten = true;
    const auto write = [this, epoch = FEpoch](TRecoverySnapshot snapshot) {
        FSnapshotPending = false;
        if (epoch != FEpoch) {
            // Discarded meanwhile: nothing to write.
            --FWritesInFlight;
            if (FWritesInFlight == 0 && FWriteWanted)
                StartWrite();
            return;
        }
        Post([this, path = CopyPath(), primary = FPrimary, snapshot = std::move(snapshot), epoch,
              generation = FChangeGeneration, movedFrom = std::exchange(FMovedFrom, {}),
              movedLock = std::move(FMovedLock)]() mutable {
            snapshot.Text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
            const bool ok = WritePrivateFile(path, CopyBytes(primary, snapshot));
            // A moved text's old copy goes once the new one is on disk.
            if (ok && !movedFrom.isEmpty())
                QFile::remove(movedFrom);
            Q_UNUSED(movedLock);
            {
                const TCountedLocker locker(&FResultsMutex);
                FResults.append({epoch, generation, ok});
            }
            QMetaObject::invokeMethod(this, &TRecoveryCopy::DrainResults, Qt::QueuedConnection);
        });
    };
    if (taking == TTaking::InSteps && FSnapshotInSteps) {
        // The text is taken between the window's events, then written.
        FSnapshotPending = true;
        FSnapshotInSteps([write, serial = ++FSnapshotSerial, this](TRecoverySnapshot snapshot) {
            if (serial == FSnapshotSerial && FSnapshotPending)
                write(std::move(snapshot));
        });
        return;
    }
    write(FSnapshot ? FSnapshot() : TRecoverySnapshot());
}

void TRecoveryCopy::Post(std::function<void()> job)
{
    FWorker->Post(std::move(job));
}

void TRecoveryCopy::PostSmall(std::function<void()> job)
{
    FWorker->PostSmall(std::move(job));
}

void TRecoveryCopy::DrainResults()
{
    QVector<TResult> results;
    {
        const TCountedLocker locker(&FResultsMutex);
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
        SetWorking(true);
    else if (failed)
        SetWorking(false);
    if (written)
        Q_EMIT Written();
}
