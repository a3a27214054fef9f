// Checks a file name chosen by the writer before it is used for text or
// suggestions: it must not be one of Nudger's own files in the start
// directory, and it must be an existing regular file or be creatable (a
// folder, a FIFO or a device is refused).
#pragma once

#include <QString>

#include <functional>

// refuse is called with the message when the name is one of Nudger's own.
bool IsUsableFile(const QString &fileName, const std::function<void(const QString &)> &refuse);
bool CanCreateFile(const QString &fileName);

inline constexpr char ReservedFileMessage[] =
    "You can not use this file because I need it to run correctly!";
