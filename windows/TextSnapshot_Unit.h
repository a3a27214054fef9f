// A copy of an editor's whole text, taken a slice at a time between the
// window's events, so that copying a long manuscript never holds the window
// up: 64K characters cost well under a millisecond where the whole 10 MB at
// once cost 20 ms. The copy is the text as it stands when the last slice is
// taken. An edit past what was copied is copied with the rest; an edit
// within it is made to the copy too, so that each part of the text is copied
// once however the writer types meanwhile. The copy keeps a gap where the
// last edit was made: typing on at one place moves nothing, and only the
// text after the gap moves once, when the copy is handed over.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

#include <functional>

class QTextDocument;

class TTextSnapshot : public QObject
{
    Q_OBJECT

public:
    explicit TTextSnapshot(QTextDocument *document, QObject *parent = nullptr);

    // Calls done, on this thread, with the whole text (paragraphs separated
    // by QChar::ParagraphSeparator) once the copy is complete; requests made
    // while a copy is going on share it.
    void Take(std::function<void(const QString &)> done);

    static constexpr int SliceCharacters = 65536;
    // An edit within the copy of more than this is not made to the copy:
    // the copy is cut back to where the edit begins and goes on from there.
    static constexpr int LargestEdit = 4 * SliceCharacters;

private:
    void Step();
    void Changed(int position, int removed, int added);
    QString Read(int from, int to) const;
    // The copy with its gap at position (logical, as in the text).
    void MoveGap(qsizetype position);
    void Splice(qsizetype position, qsizetype removed, const QString &added);
    void CutBack(qsizetype position);
    QString Finished();

    QTextDocument *FDocument;
    QTimer FStep;
    // The text copied so far: FText without its gap [FGapStart, FGapEnd).
    QString FText;
    qsizetype FGapStart = 0;
    qsizetype FGapEnd = 0;
    qsizetype FCopied = 0;
    QVector<std::function<void(const QString &)>> FWaiting;
};
