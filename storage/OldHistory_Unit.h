// The plain text histories that earlier Nudgers kept in the private data
// folder (history/<key>/): one file for each version, named by its local date
// and time and its reason ("2026-11-20 09.30.00 changed by another
// program.txt"), and an index beside them that names the primary file and
// lists each version's digest, time and reason. Read so that the store can
// take them in; the index is trusted only for what the file names do not
// tell.
#pragma once

#include "storage/History_Unit.h"

#include <QDateTime>
#include <QString>
#include <QVector>

struct TOldVersion
{
    QString FileName; // in the folder
    QDateTime Time;
    TVersionReason Reason = TVersionReason::ChangedOutside;
};

// The primary file the folder's index names; empty when it names none or
// cannot be read.
QString OldHistoryPrimary(const QString &folder);

// Every version file in the folder, listed in the index or not, oldest
// first.
QVector<TOldVersion> ReadOldHistory(const QString &folder);

// Removes the index, its lock and the folder once no version file is left.
void RemoveOldHistoryIfEmpty(const QString &folder);
