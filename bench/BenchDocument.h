// A document for the benchmarks that need one without a main window: its
// editor only holds a text, and its private folder (history and recovery
// copies) is the benchmark's.
#pragma once

#include "storage/TextDocument_Unit.h"

struct TBenchEditor : TDocumentText
{
    QString Current;
    QString Text() const override { return Current; }
    void Load(const QString &text) override { Current = text; }
    void Follow(const QString &text) override { Current = text; }
};

struct TBenchDocument
{
    TBenchDocument(const QString &privateFolder, const QString &primaryFile)
        : Document(Editor, privateFolder)
    {
        Document.SetPrimaryFile(primaryFile);
    }
    TBenchEditor Editor;
    TTextDocument Document;
};
