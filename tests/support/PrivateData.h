// Nudger keeps its recovery copies and history in the writer's private data
// folder, and the writer's own settings in their configuration folder; a
// test keeps both in a folder of its own. Enchant's personal word lists lie
// in the configuration folder too, but GLib reads XDG_CONFIG_HOME only once
// a process: Enchant is told the folder itself.
#pragma once

#include <QFile>
#include <QString>

inline void UsePrivateDataFolder(const QString &dir)
{
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir + QStringLiteral("/.data")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir + QStringLiteral("/.config")));
    qputenv("ENCHANT_CONFIG_DIR", QFile::encodeName(dir + QStringLiteral("/.config/enchant")));
}
