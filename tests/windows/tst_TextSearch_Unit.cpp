// Finding a term in a document's blocks, and the count of matches that runs
// in slices and follows the edits of the text.

#include "windows/TextSearch_Unit.h"

#include <QPlainTextDocumentLayout>
#include <QSignalSpy>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

#include <memory>

namespace {

// A document as the editor holds one: only a document with a layout tells
// of its changes.
std::unique_ptr<QTextDocument> NewDocument(const QString &text)
{
    auto document = std::make_unique<QTextDocument>();
    document->setDocumentLayout(new QPlainTextDocumentLayout(document.get()));
    document->setPlainText(text);
    return document;
}

QList<int> AllMatches(const QTextDocument *document, const TSearchTerms &terms)
{
    std::vector<int> starts;
    FindMatches(document, terms, 0, TextLength(document), starts);
    return QList<int>(starts.begin(), starts.end());
}

QList<int> Counted(const TTextMatches &matches)
{
    const std::vector<int> starts = matches.Starts();
    return QList<int>(starts.begin(), starts.end());
}

void Edit(QTextDocument *document, int position, int removed, const QString &inserted)
{
    QTextCursor cursor(document);
    cursor.setPosition(position);
    cursor.setPosition(position + removed, QTextCursor::KeepAnchor);
    cursor.insertText(inserted);
}

} // namespace

class tst_TextSearch_Unit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void matches_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("term");
        QTest::addColumn<bool>("matchCase");
        QTest::addColumn<bool>("wholeWords");
        QTest::addColumn<QList<int>>("starts");
        QTest::newRow("any case") << "Ann ann ANN"
                                  << "ann" << false << false << QList<int>{0, 4, 8};
        QTest::newRow("case matched") << "Ann ann ANN"
                                      << "ann" << true << false << QList<int>{4};
        QTest::newRow("whole words at a block's start and end")
            << "Ann met\nher sister Ann\nAnn"
            << "Ann" << false << true << QList<int>{0, 19, 23};
        QTest::newRow("whole words leave longer words alone")
            << "Annual JoAnn Anne Ann's Ann2 Ann"
            << "Ann" << false << true << QList<int>{18, 29};
        QTest::newRow("a combining mark belongs to the word")
            << QStringLiteral("Ann\u0301 Ann") << "Ann" << false << true << QList<int>{5};
        QTest::newRow("a letter beyond the basic plane belongs to the word")
            << QStringLiteral("Ann\U00020000 Ann") << "Ann" << false << true << QList<int>{6};
        QTest::newRow("a term ending in a stop may touch a word")
            << "Mr.Smith Mr. Smith"
            << "Mr." << false << true << QList<int>{0, 9};
        QTest::newRow("a match across a line break (none)")
            << "the end\nof it"
            << "end\nof" << false << false << QList<int>{};
        QTest::newRow("an empty search") << "anything"
                                         << "" << false << false << QList<int>{};
        QTest::newRow("overlapping occurrences, left to right")
            << "aaaaa"
            << "aa" << false << false << QList<int>{0, 2};
    }
    void matches()
    {
        QFETCH(QString, text);
        QFETCH(QString, term);
        QFETCH(bool, matchCase);
        QFETCH(bool, wholeWords);
        QFETCH(QList<int>, starts);
        const auto document = NewDocument(text);
        const TSearchTerms terms{term, matchCase, wholeWords};
        QCOMPARE(AllMatches(document.get(), terms), starts);
        for (const int start : starts)
            QVERIFY(MatchesAt(document.get(), terms, start));
    }

    // An edit counts again only around itself, and the count comes out as a
    // count made afresh would; so it does after an edit at the end and one
    // at the top, which the matches between them must follow.
    void countFollowsEdits_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("term");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("removed");
        QTest::addColumn<QString>("inserted");
        QTest::newRow("typing inside a match") << "Ann and Ann"
                                               << "Ann" << 1 << 0 << "x";
        QTest::newRow("a letter after a whole word") << "Ann and Ann"
                                                     << "Ann" << 3 << 0 << "a";
        QTest::newRow("a letter before a whole word") << "Ann and Ann"
                                                      << "Ann" << 8 << 0 << "J";
        QTest::newRow("a space that splits a word in two") << "Ann and JoAnn"
                                                           << "Ann" << 10 << 0 << " ";
        QTest::newRow("the space between two words deleted") << "Ann Ann Ann"
                                                             << "Ann" << 3 << 1 << "";
        QTest::newRow("typing that completes a match") << "An and Ann"
                                                       << "Ann" << 2 << 0 << "n";
        QTest::newRow("two lines joined") << "An\nn Ann"
                                          << "Ann" << 2 << 1 << "";
        QTest::newRow("a match split by a line break") << "Ann Ann"
                                                       << "Ann" << 5 << 0 << "\n";
        QTest::newRow("an edit before every match") << "x Ann Ann Ann"
                                                    << "Ann" << 0 << 1 << "yy";
        QTest::newRow("a replacement that holds the term") << "Ann Ann"
                                                           << "Ann" << 0 << 3 << "Ann Ann";
        QTest::newRow("a paste too large to count around")
            << "Ann"
            << "Ann" << 3 << 0 << QString(TTextMatches::LargeEdit + 1, u' ') + "Ann";
    }
    void countFollowsEdits()
    {
        QFETCH(QString, text);
        QFETCH(QString, term);
        QFETCH(int, position);
        QFETCH(int, removed);
        QFETCH(QString, inserted);
        const auto document = NewDocument(text);
        const TSearchTerms terms{term, true, true};
        TTextMatches matches(document.get());
        matches.Search(terms);
        QVERIFY(matches.Complete());
        Edit(document.get(), position, removed, inserted);
        QTRY_VERIFY(matches.Complete());
        QCOMPARE(Counted(matches), AllMatches(document.get(), terms));
        Edit(document.get(), TextLength(document.get()), 0, QStringLiteral(" and Ann."));
        QCOMPARE(Counted(matches), AllMatches(document.get(), terms));
        Edit(document.get(), 0, 0, QStringLiteral("Ann, "));
        QCOMPARE(Counted(matches), AllMatches(document.get(), terms));
    }

    // A long text is counted in slices, each within a few milliseconds, the
    // count growing as it goes; a find beyond the count waits for it, and
    // the writer's typing meanwhile is counted too.
    void longTextCountedInSlices()
    {
        QString text;
        for (int line = 0; line < 60000; ++line)
            text += QStringLiteral("The keeper climbed the stairs of the lighthouse, line %1.\n")
                        .arg(line);
        text += QStringLiteral("Mara");
        const auto document = NewDocument(text);
        const TSearchTerms terms{QStringLiteral("mara"), false, true};
        TTextMatches matches(document.get());
        QSignalSpy changed(&matches, &TTextMatches::Changed);
        matches.Search(terms);
        QVERIFY(!matches.Complete());
        int start = -1;
        QCOMPARE(matches.Next(0, start), TTextMatches::TAnswer::NotYet);
        QCOMPARE(matches.Previous(TextLength(document.get()), start),
                 TTextMatches::TAnswer::NotYet);
        Edit(document.get(), 0, 0, QStringLiteral("Mara "));
        Edit(document.get(), TextLength(document.get()) / 2, 0, QStringLiteral(" Mara "));
        QTRY_VERIFY(matches.Complete());
        QVERIFY(changed.count() > 2);
        QCOMPARE(matches.Count(), 3);
        QCOMPARE(Counted(matches), AllMatches(document.get(), terms));
        QCOMPARE(matches.Next(1, start), TTextMatches::TAnswer::Found);
        QCOMPARE(matches.IndexOf(start), 1);
        QCOMPARE(matches.Previous(0, start), TTextMatches::TAnswer::None);
    }
};

QTEST_MAIN(tst_TextSearch_Unit)
#include "tst_TextSearch_Unit.moc"
