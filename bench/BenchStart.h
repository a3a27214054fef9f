// What every benchmark that builds main windows sets up first, after its
// QApplication: a start directory of its own, which also holds the
// program's private data, a user name, and the scripted questions and wave
// service, so that nothing reaches the writer's files, a desktop or a sound
// server.
#pragma once

#include "app/PlatformDependence_Unit.h"
#include "tests/support/CountingWaveService.h"
#include "tests/support/PrivateData.h"
#include "tests/support/ScriptedPrompts.h"

#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

struct TBenchStart
{
    // program names the benchmark in the message of a failed start.
    explicit TBenchStart(const char *program)
    {
        if (!Dir.isValid()) {
            std::fprintf(stderr, "%s: %s\n", program, qPrintable(Dir.errorString()));
            std::exit(2);
        }
        UsePrivateDataFolder(Dir.path());
        SetStartDirectoryForTesting(Dir.path());
        SetUserNameForTesting([] { return QStringLiteral("bench"); });
    }

    QTemporaryDir Dir;
    TScriptedPrompts Prompts;
    TCountingWaveService Wave;
};
