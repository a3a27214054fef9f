// A copy of the writer's unsaved text in a private folder, kept up to date a
// few seconds behind the typing, so that an abrupt end of Nudger (a kill, a
// crash, a power loss) loses at most those seconds. The next start offers the
// words back.
//
// One copy per primary file and running Nudger: the copy is named after a
// hash of the primary file's absolute path and holds that path in its header.
// A lock file beside each copy tells a running Nudger's copy from one left by
// an ended Nudger; a second Nudger on the same file takes the next free slot
// (<key>-2, <key>-3, ...).
//
// Copies are encoded and written on a worker thread, one at a time and in
// order with removals; the owner's thread only takes the text (the snapshot)
// and restarts timers.
#pragma once

#include "storage/WholeFile_Unit.h"

#include <QByteArray>
#include <QDateTime>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

#include <functional>
#include <memory>

class QLockFile;
class TWorker;

// What a copy keeps: the text, the version of the primary file it grew
// from (BaseDigest empty: unknown), and where the writer's cursor stood in
// the text (-1: unknown).
struct TRecoverySnapshot
{
    QString Text;
    QByteArray BaseDigest;
    TFileSignature BaseSignature;
    qsizetype Cursor = -1;
};

// A copy left by a Nudger that ended: its text, the version of the primary
// file it grew from, where the cursor stood, and when it was last written.
struct TLeftCopy
{
    QString Text;
    QByteArray BaseDigest; // empty: unknown (a copy of an older Nudger)
    TFileSignature BaseSignature;
    qsizetype Cursor = -1; // -1: unknown (a copy of an older Nudger)
    QDateTime Written;
};

class TRecoveryCopy : public QObject
{
    Q_OBJECT
public:
    // Called on the owner's thread to take the text to keep; it should be
    // cheap (a copy of a QString shares its data).
    using TSnapshot = std::function<TRecoverySnapshot()>;
    // The same, taking the text in steps between events so that a long one
    // holds nothing up: calls done, later, on the owner's thread.
    using TSnapshotInSteps = std::function<void(std::function<void(TRecoverySnapshot)> done)>;
    void SetSnapshotInSteps(TSnapshotInSteps snapshot) { FSnapshotInSteps = std::move(snapshot); }

    // folder: where the copies live; empty means the application's local
    // data folder + "/recovery". The folder is created with mode 0700, and
    // set to 0700 when it exists with other bits. worker: the thread that
    // writes the copies, shared with the document's other writes; none
    // gives the copy a thread of its own. It must outlive the copy.
    explicit TRecoveryCopy(TSnapshot snapshot, const QString &folder = QString(),
                           TWorker *worker = nullptr, QObject *parent = nullptr);
    // Waits for a write in flight; the copy stays on disk, as after any end
    // that did not discard it.
    ~TRecoveryCopy() override;

    // The primary file (a full path) whose unsaved text is kept; another
    // file releases the old slot (its copy stays unless Discard removed it).
    // Empty: nothing is kept. The text counts as clean for the new file:
    // call TextChanged when it holds changes that are in no file. A free slot
    // of the file and its lock are taken by TakeSlot, by LeftText or at the
    // first change, whichever comes first, so that nothing of the copy
    // touches the disk before the window is on the screen.
    void SetPrimaryFile(const QString &fileName);
    // Takes a free slot now, if none is held: the window calls it once it
    // shows, so that the first keystroke finds it taken.
    void TakeSlot();
    QString PrimaryFile() const;
    // The unsaved text is another primary file's now (Save As): a copy for
    // that file is written at once, and the old file's copy is removed only
    // once it is on disk. Without a copy yet, the same as SetPrimaryFile.
    void MoveTo(const QString &fileName);

    // The text changed and holds changes that are in no file. A copy follows
    // after a pause of the changes (DefaultPauseMs), and at least every
    // DefaultMaxDelayMs while the changes go on. Cheap: it only restarts a
    // timer (and, while no slot could be taken, tries again now and then).
    void TextChanged();
    // The text is in the primary file now, or the writer gave it up: the
    // timers stop, a write in flight finishes, and then the copy (and a left
    // copy offered by LeftText) is removed. No write started before this call
    // can bring the copy back.
    void Discard();
    // Writes a copy now and waits for it, if there are changes not yet
    // written (the session is ending).
    void WriteNow();
    // Blocks until no write is in flight.
    void WaitForWrites();

    // At start, after the primary file was read and before any change is
    // reported: the text of a copy left for this primary file by a Nudger
    // that ended without discarding it, and that no running Nudger holds;
    // the newest one when there are several. False when there is none.
    // The offered copy becomes this object's own copy: if the writer takes
    // the text, the next writes replace it and Discard removes it; if not,
    // SetAside puts it aside. Calling it again returns the same offer.
    bool LeftText(TLeftCopy &left) const;
    // The writer declined the offered copy: it is renamed with today's date
    // and kept in the folder for AsideDays, out of LeftText's reach. Asides
    // older than that are removed when the folder is first used for a file.
    void SetAside();

    // Whether copies can be made: false once a slot could not be taken or a
    // write failed, until one is made again.
    bool Working() const { return FWorking; }

    static constexpr int DefaultPauseMs = 1000;
    static constexpr int DefaultMaxDelayMs = 5000;
    static constexpr int AsideDays = 30;

Q_SIGNALS:
    // A copy reached the disk (emitted on the owner's thread).
    void Written();
    // Working changed (emitted on the owner's thread).
    void WorkingChanged(bool working);

private:
    friend struct TRecoveryCopyTesting;

    // Where this object's copy for the current primary file goes; empty
    // without a slot.
    QString CopyPath() const;
    void SetWorking(bool working);
    struct TResult
    {
        quint64 Epoch = 0;
        quint64 Generation = 0;
        bool Ok = false;
    };

    QString SlotPath(int slot, const QString &suffix) const;
    // The slot a copy's name in the folder is of; 0: none of this file's.
    int SlotOfName(const QString &name) const;
    // Makes the folder, finds the file's key and removes old asides, once
    // for each primary file.
    void Prepare() const;
    void ClaimSlot();
    void ReleaseSlots();
    void PurgeAsides() const;
    void StopTimers();
    void RequestWrite();
    // A copy written now, its text taken at once (the session is ending,
    // the text moves to another file) or in steps.
    enum class TTaking
    {
        AtOnce,
        InSteps
    };
    void StartWrite(TTaking taking = TTaking::InSteps);
    void Post(std::function<void()> job);
    // A job that takes no time (a removal, a listing of the folder).
    void PostSmall(std::function<void()> job);
    void DrainResults();

    TSnapshot FSnapshot;
    TSnapshotInSteps FSnapshotInSteps;
    bool FSnapshotPending = false;
    quint64 FSnapshotSerial = 0;
    QString FFolder;
    QString FPrimary;
    // The file's key (its name's hash), known once the folder is prepared.
    mutable QString FKey;
    mutable bool FPrepared = false;
    bool FEnabled = true;
    bool FWorking = true;
    // When a slot was last tried for, while none is held.
    QDateTime FClaimTried;
    // The old file's copy, removed once the moved text's first copy landed.
    QString FMovedFrom;
    std::shared_ptr<QLockFile> FMovedLock;

    // The slot this object writes to, with its lock held, and the slot of a
    // left copy offered by LeftText (the same slot once LeftText made it this
    // object's own; else FOfferLock holds its lock).
    mutable int FOwnSlot = 0;
    mutable std::shared_ptr<QLockFile> FOwnLock;
    mutable int FOfferedSlot = 0;
    mutable std::shared_ptr<QLockFile> FOfferLock;

    QTimer FPauseTimer;
    QTimer FMaxDelayTimer;

    // FChangeGeneration counts the changes; FWrittenGeneration is the last one
    // that a finished write (or Discard) covers. FEpoch rises at Discard and
    // at a change of file, so that results of older writes are ignored.
    quint64 FChangeGeneration = 0;
    quint64 FWrittenGeneration = 0;
    quint64 FEpoch = 0;
    int FWritesInFlight = 0;
    bool FWriteWanted = false;
    bool FOwnSlotWritten = false;

    QMutex FResultsMutex;
    QVector<TResult> FResults;
    // One thread, so that the jobs run one at a time in the order posted.
    std::unique_ptr<TWorker> FOwnWorker;
    TWorker *FWorker = nullptr;
};
