// Reads or writes configuration values in a start directory's Nudger.cfg,
// for preparing and checking start directories from scripts.
//
//   nudger_config <start-dir> [--user NAME] --get KEY [--get KEY ...]
//   nudger_config <start-dir> [--user NAME] KEY=VALUE [KEY=VALUE ...]
//
// --get prints each value on its own line and fails when one is missing.
// Assignments are written for the current user (or NAME) and saved at once.
#include "app/PlatformDependence_Unit.h"
#include "storage/ConfigurationFile_Unit.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: nudger_config <start-dir> [--user NAME] "
                         "[--get KEY ... | KEY=VALUE ...]\n");
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Nudger"));

    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.isEmpty())
        return Usage();
    SetStartDirectoryForTesting(arguments.takeFirst());

    QStringList reads;
    QList<QPair<QString, QString>> writes;
    while (!arguments.isEmpty()) {
        const QString argument = arguments.takeFirst();
        if (argument == QLatin1String("--user") || argument == QLatin1String("--get")) {
            if (arguments.isEmpty())
                return Usage();
            const QString operand = arguments.takeFirst();
            if (argument == QLatin1String("--user")) {
                if (operand.isEmpty())
                    return Usage();
                SetUserNameForTesting([operand] { return operand; });
            } else {
                reads.append(operand);
            }
            continue;
        }
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        if (equals <= 0)
            return Usage();
        writes.append({argument.left(equals), argument.mid(equals + 1)});
    }
    if (reads.isEmpty() == writes.isEmpty())
        return Usage();

    TConfigurationFile configuration;
    configuration.Load();
    if (!reads.isEmpty()) {
        int result = 0;
        for (const QString &name : reads) {
            if (!configuration.ValueExists(name)) {
                std::fprintf(stderr, "nudger_config: no value %s\n", qPrintable(name));
                result = 1;
                continue;
            }
            std::printf("%s\n", configuration.ReadValue(name).toUtf8().constData());
        }
        return result;
    }

    for (const auto &[name, value] : writes)
        configuration.WriteValue(name, value);
    if (!configuration.Save()) {
        std::fprintf(stderr, "nudger_config: cannot write %s\n",
                     qPrintable(configuration.FilePath()));
        return 1;
    }
    return 0;
}
