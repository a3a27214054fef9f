#include "windows/TextSnapshot_Unit.h"

#include <QTextCursor>
#include <QTextDocument>

TTextSnapshot::TTextSnapshot(QTextDocument *document, QObject *parent)
    : QObject(parent), FDocument(document)
{
    FStep.setSingleShot(true);
    FStep.setInterval(0);
    connect(&FStep, &QTimer::timeout, this, &TTextSnapshot::Step);
    connect(FDocument, &QTextDocument::contentsChange, this, &TTextSnapshot::Changed);
}

void TTextSnapshot::Take(std::function<void(const QString &)> done)
{
    FWaiting.append(std::move(done));
    if (FWaiting.size() > 1)
        return;
    FCopied = 0;
    FText.truncate(0);
    Step();
}

void TTextSnapshot::Step()
{
    // The last paragraph's separator is not part of the text.
    const int total = FDocument->characterCount() - 1;
    // Room for what the writer types meanwhile too: growing the copy at its
    // last slice would move all of it at once.
    if (FCopied == 0)
        FText.reserve(total + SliceCharacters);
    const int end = qMin(FCopied + SliceCharacters, total);
    if (end > FCopied) {
        QTextCursor slice(FDocument);
        slice.setPosition(FCopied);
        slice.setPosition(end, QTextCursor::KeepAnchor);
        FText += slice.selectedText();
        FCopied = end;
    }
    if (FCopied < total) {
        FStep.start();
        return;
    }
    const QString text = std::exchange(FText, QString());
    FCopied = 0;
    const QVector<std::function<void(const QString &)>> waiting = std::exchange(FWaiting, {});
    for (const auto &done : waiting)
        done(text);
}

void TTextSnapshot::Changed(int position, int, int)
{
    // What was copied no longer is the text's beginning: start again.
    if (!FWaiting.isEmpty() && position < FCopied) {
        FCopied = 0;
        FText.truncate(0);
    }
}
