// Reading and writing a test's files as plain bytes, past the code under
// test.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// The file's bytes; empty when it cannot be read. opened, when given, tells
// whether the file could be opened at all.
inline QByteArray ReadAll(const QString &fileName, bool *opened = nullptr)
{
    QFile file(fileName);
    const bool isOpen = file.open(QIODevice::ReadOnly);
    if (opened)
        *opened = isOpen;
    return isOpen ? file.readAll() : QByteArray();
}

// Replaces the file's bytes; false unless every byte was handed to the system.
inline bool WriteAll(const QString &fileName, const QByteArray &bytes)
{
    QFile file(fileName);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}
