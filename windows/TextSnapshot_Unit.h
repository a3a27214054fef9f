// A copy of an editor's whole text, taken a slice at a time between the
// window's events, so that copying a long manuscript never holds the window
// up: 64K characters cost well under a millisecond where the whole 10 MB at
// once cost 20 ms. The copy is the text as it stands when the last slice is
// taken: an edit past what was copied is simply copied with the rest, and an
// edit before it starts the copy over.
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

private:
    void Step();
    void Changed(int position, int removed, int added);

    QTextDocument *FDocument;
    QTimer FStep;
    QString FText; // copied so far
    int FCopied = 0;
    QVector<std::function<void(const QString &)>> FWaiting;
};
