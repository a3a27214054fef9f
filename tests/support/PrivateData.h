// Nudger keeps its recovery copies in the writer's private data folder; a
// test keeps them in a folder of its own.
#pragma once

#include <QFile>
#include <QString>

inline void UsePrivateDataFolder(const QString &dir)
{
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir + QStringLiteral("/.data")));
}
