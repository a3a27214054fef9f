// The writer's private data folder (~/.local/share/Nudger on Debian), where
// Nudger keeps what it holds of the writer's text besides their own files:
// the recovery copies and the history of every primary file. Its folders are
// the writer's alone (0700), its files readable by the writer alone (0600),
// each written whole and synced with its folder, and every primary file's
// share of it is named by one key of the file's absolute path.
#pragma once

#include "storage/WholeFile_Unit.h"

#include <QByteArray>
#include <QString>

#include <memory>

class QLockFile;

// A folder of that name in the writer's private data folder: absolute,
// cleaned; not created.
QString PrivateFolder(const QString &name);

// Creates the folder, and those on its way, with mode 0700, and sets an
// existing one to 0700 when it has other bits. True when the folder is
// there afterwards.
bool MakePrivateFolder(const QString &folder);

// The primary file's absolute, cleaned path, as the keys are made of it.
QString AbsolutePrimaryPath(const QString &primaryFile);

// Sixteen hexadecimal digits of the SHA-1 of the primary file's absolute
// path: the name its recovery copies and its history go by.
QString PrimaryFileKey(const QString &primaryFile);

// Writes bytes as the whole content of a private file: created with mode
// 0600 (a file already there is set to 0600), the new content whole on disk,
// the folder synced. False when any of it failed; the old content is then
// whole.
bool WritePrivateFile(const QString &path, const QByteArray &bytes);

// A new private file that must not exist yet (see WriteNewFile), mode 0600.
TNewFileResult WriteNewPrivateFile(const QString &path, const QByteArray &bytes);

// A lock between running Nudgers on a lock file in the private folder. A
// lock left by a Nudger that ended without releasing it is taken over.
// Empty when the lock is held by another live Nudger for longer than waitMs
// (heldElsewhere is then set), or cannot be made (the folder refuses it).
std::unique_ptr<QLockFile> TakePrivateLock(const QString &lockFile, int waitMs,
                                           bool *heldElsewhere = nullptr);
