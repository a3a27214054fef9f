#include "windows/TextSnapshot_Unit.h"

#include <QTextCursor>
#include <QTextDocument>

#include <cstring>

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
    CutBack(0);
    Step();
}

QString TTextSnapshot::Read(int from, int to) const
{
    QTextCursor slice(FDocument);
    slice.setPosition(from);
    slice.setPosition(to, QTextCursor::KeepAnchor);
    return slice.selectedText();
}

void TTextSnapshot::Step()
{
    // The last paragraph's separator is not part of the text.
    const int total = FDocument->characterCount() - 1;
    // Room for what the writer types meanwhile too: growing the copy at its
    // last slice would move all of it at once.
    if (FCopied == 0)
        FText.reserve(total + SliceCharacters);
    const int end = int(qMin<qsizetype>(FCopied + SliceCharacters, total));
    if (end > FCopied) {
        // The gap lies before the copy's physical end, so this is its end.
        FText += Read(int(FCopied), end);
        FCopied = end;
    }
    if (FCopied < total) {
        FStep.start();
        return;
    }
    const QString text = Finished();
    const QVector<std::function<void(const QString &)>> waiting = std::exchange(FWaiting, {});
    for (const auto &done : waiting)
        done(text);
}

QString TTextSnapshot::Finished()
{
    FText.remove(FGapStart, FGapEnd - FGapStart);
    FGapStart = FGapEnd = 0;
    FCopied = 0;
    return std::exchange(FText, QString());
}

void TTextSnapshot::Changed(int position, int removed, int added)
{
    if (FWaiting.isEmpty() || position >= FCopied)
        return;
    // Qt counts the last paragraph's separator in an edit that reaches the
    // end; such an edit reaches past the copy and is handled by cutting back.
    if (position + qsizetype(removed) <= FCopied && added <= LargestEdit &&
        position + added < FDocument->characterCount())
        Splice(position, removed, Read(position, position + added));
    else
        CutBack(position);
}

void TTextSnapshot::MoveGap(qsizetype position)
{
    const qsizetype gap = FGapEnd - FGapStart;
    QChar *data = FText.data();
    if (position < FGapStart)
        std::memmove(data + position + gap, data + position,
                     size_t(FGapStart - position) * sizeof(QChar));
    else if (position > FGapStart)
        std::memmove(data + FGapStart, data + FGapEnd,
                     size_t(position - FGapStart) * sizeof(QChar));
    FGapStart = position;
    FGapEnd = position + gap;
}

void TTextSnapshot::Splice(qsizetype position, qsizetype removed, const QString &added)
{
    MoveGap(position);
    FGapEnd += removed;
    if (FGapEnd - FGapStart < added.size()) {
        // Room for this edit and for typing on after it.
        const qsizetype grow = added.size() - (FGapEnd - FGapStart) + SliceCharacters;
        FText.insert(FGapEnd, QString(grow, QChar()));
        FGapEnd += grow;
    }
    std::memcpy(FText.data() + FGapStart, added.constData(), size_t(added.size()) * sizeof(QChar));
    FGapStart += added.size();
    FCopied += added.size() - removed;
}

void TTextSnapshot::CutBack(qsizetype position)
{
    MoveGap(qMin(position, FCopied));
    FText.truncate(FGapStart);
    FGapEnd = FGapStart;
    FCopied = FGapStart;
}
