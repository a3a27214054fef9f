// Loads arbitrary bytes as Nudger.cfg. Load must report by its result and
// never throw or crash; the values read must be usable, and a value written
// and saved over any content must read back.
#include "app/PlatformDependence_Unit.h"
#include "storage/ConfigurationFile_Unit.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

QTemporaryDir *StartFolder = nullptr;
QString ConfigPath;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    QCoreApplication::setApplicationName(QStringLiteral("Nudger"));
    // A memory file system where there is one: a disk file system flushes
    // a file that is truncated or renamed over, which costs more than Load.
    const QString memory = QStringLiteral("/dev/shm");
    const QString pattern = QFileInfo(memory).isDir() && QFileInfo(memory).isWritable()
                                ? memory + QStringLiteral("/nudger-fuzz-XXXXXX")
                                : QString();
    StartFolder = pattern.isEmpty() ? new QTemporaryDir() : new QTemporaryDir(pattern);
    if (!StartFolder->isValid())
        std::abort();
    std::atexit([] { delete StartFolder; });
    SetStartDirectoryForTesting(StartFolder->path());
    SetUserNameForTesting([] { return QStringLiteral("user1"); });
    ConfigPath = StartFolder->filePath(QStringLiteral("Nudger.cfg"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    {
        QFile file(ConfigPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size)) !=
                static_cast<qint64>(size))
            std::abort();
    }

    TConfigurationFile configuration;
    const bool loaded = configuration.Load();
    const bool exists = configuration.ValueExists(QStringLiteral("Interval"));
    const QString value = configuration.ReadValue(QStringLiteral("Interval"));
    if (!exists && !value.isEmpty())
        std::abort();
    if (!loaded && configuration.ValueExists(QStringLiteral("TOVRIN CONFIGURATION FILE")))
        std::abort();

    // Every eighth input also goes through a save and a fresh load.
    if (size > 0 && data[0] % 8 == 0) {
        configuration.WriteValue(QStringLiteral("Interval"), QStringLiteral("1000"));
        if (!configuration.Save())
            std::abort();
        TConfigurationFile reloaded;
        if (!reloaded.Load() ||
            reloaded.ReadValue(QStringLiteral("Interval")) != QStringLiteral("1000"))
            std::abort();
    }
    return 0;
}
