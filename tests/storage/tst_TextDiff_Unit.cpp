// The comparison of two versions: the lines and words it marks, the summary,
// both texts put back together from its lines, and the texts it declines to
// list.

#include "storage/TextDiff_Unit.h"

#include "storage/TextFile_Unit.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <climits>

namespace {

// " 3:4 text" for a line in both texts, "-3 text" removed, "+4 text" added;
// changed runs in brackets; "@@" between hunks.
QStringList Render(const TTextDiff &diff)
{
    QStringList lines;
    for (const TDiffHunk &hunk : diff.Hunks) {
        if (!lines.isEmpty())
            lines << QStringLiteral("@@");
        for (const TDiffLine &line : hunk.Lines) {
            QString text = line.Text;
            for (auto span = line.Changed.crbegin(); span != line.Changed.crend(); ++span) {
                text.insert(span->Start + span->Length, u']');
                text.insert(span->Start, u'[');
            }
            switch (line.Kind) {
            case TDiffLine::TKind::Same:
                lines << QStringLiteral(" %1:%2 %3")
                             .arg(line.OldNumber)
                             .arg(line.NewNumber)
                             .arg(text);
                break;
            case TDiffLine::TKind::Removed:
                lines << QStringLiteral("-%1 %2").arg(line.OldNumber).arg(text);
                break;
            case TDiffLine::TKind::Added:
                lines << QStringLiteral("+%1 %2").arg(line.NewNumber).arg(text);
                break;
            }
        }
    }
    return lines;
}

QString Numbered(const char *format, int count, int from = 0)
{
    QStringList lines;
    for (int i = from; i < from + count; ++i)
        lines << QString::fromLatin1(format).arg(i);
    return lines.join(u'\n');
}

QString Decoded(const QByteArray &bytes)
{
    TTextFileContent content;
    DecodeTextFile(bytes, content);
    return content.Text;
}

// With all of both texts in one hunk, its lines give back each text.
void VerifyReassembles(const QString &older, const QString &newer)
{
    const TTextDiff diff = DiffTexts(older, newer, INT_MAX);
    QVERIFY(diff.Compared);
    QVERIFY(diff.Hunks.size() <= 1);
    QStringList oldLines;
    QStringList newLines;
    int removed = 0;
    int added = 0;
    for (const TDiffHunk &hunk : diff.Hunks) {
        for (const TDiffLine &line : hunk.Lines) {
            if (line.Kind != TDiffLine::TKind::Added) {
                QCOMPARE(line.OldNumber, int(oldLines.size()) + 1);
                oldLines << line.Text;
            }
            if (line.Kind != TDiffLine::TKind::Removed) {
                QCOMPARE(line.NewNumber, int(newLines.size()) + 1);
                newLines << line.Text;
            }
            removed += line.Kind == TDiffLine::TKind::Removed;
            added += line.Kind == TDiffLine::TKind::Added;
        }
    }
    const auto linesOf = [](QString text) {
        if (text.isEmpty())
            return QStringList();
        if (text.endsWith(u'\n'))
            text.chop(1);
        return text.split(u'\n');
    };
    if (diff.Hunks.isEmpty()) {
        QCOMPARE(linesOf(older), linesOf(newer));
    } else {
        QCOMPARE(oldLines, linesOf(older));
        QCOMPARE(newLines, linesOf(newer));
    }
    QCOMPARE(diff.RemovedLines, removed);
    QCOMPARE(diff.AddedLines, added);
}

} // namespace

class tst_TextDiff_Unit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void compare_data();
    void compare();
    void shortestOnRandomLines();
};

void tst_TextDiff_Unit::compare_data()
{
    QTest::addColumn<QString>("older");
    QTest::addColumn<QString>("newer");
    QTest::addColumn<bool>("cancelled");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("empty against text")
        << ""
        << "one\ntwo" << false << "2 lines added" << QStringList{"+1 one", "+2 two"};
    QTest::newRow("text against empty")
        << "one\ntwo\n"
        << "" << false << "2 lines removed" << QStringList{"-1 one", "-2 two"};
    QTest::newRow("equal") << "one\n\ntwo"
                           << "one\n\ntwo" << false << "no differences" << QStringList();
    QTest::newRow("CR LF file against LF text")
        << Decoded("one\r\ntwo\r\n") << "one\ntwo" << false << "no differences" << QStringList();
    QTest::newRow("an empty line added")
        << "one"
        << "one\n\n"
        << false << "1 line added" << QStringList{" 1:1 one", "+2 "};
    QTest::newRow("moved paragraph")
        << "alpha\n\nbeta\n\ngamma"
        << "beta\n\ngamma\n\nalpha" << false << "2 lines removed, 2 added"
        << QStringList{"-1 alpha", "-2 ", " 3:1 beta", " 4:2 ", " 5:3 gamma", "+4 ", "+5 alpha"};
    QTest::newRow("a word changed")
        << "The quick brown fox.\nSecond line."
        << "The slow brown fox.\nSecond line." << false << "1 line removed, 1 added"
        << QStringList{"-1 The [quick] brown fox.", "+1 The [slow] brown fox.",
                       " 2:2 Second line."};
    QTest::newRow("words apart by a space are one run")
        << "a quick brown fox"
        << "a slow red fox" << false << "1 line removed, 1 added"
        << QStringList{"-1 a [quick brown] fox", "+1 a [slow red] fox"};
    QTest::newRow("a surrogate pair is one character")
        << QString::fromUtf8("go \xf0\x9f\x98\x80 now")
        << QString::fromUtf8("go \xf0\x9f\x98\x83 now") << false << "1 line removed, 1 added"
        << QStringList{QString::fromUtf8("-1 go [\xf0\x9f\x98\x80] now"),
                       QString::fromUtf8("+1 go [\xf0\x9f\x98\x83] now")};
    QTest::newRow("lines paired in order, the rest whole")
        << "keep\nred one\nred two\nred three"
        << "keep\nblue one\nblue two" << false << "3 lines removed, 2 added"
        << QStringList{" 1:1 keep",    "-2 [red] one",  "-3 [red] two",
                       "-4 red three", "+2 [blue] one", "+3 [blue] two"};
    // Three lines of context: changes seven unchanged lines apart are two
    // hunks, six apart one.
    QTest::newRow("two hunks")
        << Numbered("l%1", 12, 1)
        << Numbered("l%1", 12, 1).replace("l2\n", "x2\n").replace("l10\n", "x10\n") << false
        << "2 lines removed, 2 added"
        << QStringList{" 1:1 l1",   "-2 [l2]",   "+2 [x2]",    " 3:3 l3",   " 4:4 l4",
                       " 5:5 l5",   "@@",        " 7:7 l7",    " 8:8 l8",   " 9:9 l9",
                       "-10 [l10]", "+10 [x10]", " 11:11 l11", " 12:12 l12"};
    QTest::newRow("one hunk")
        << Numbered("l%1", 12, 1)
        << Numbered("l%1", 12, 1).replace("l2\n", "x2\n").replace("l9\n", "x9\n") << false
        << "2 lines removed, 2 added"
        << QStringList{" 1:1 l1", "-2 [l2]",    "+2 [x2]",    " 3:3 l3",   " 4:4 l4",
                       " 5:5 l5", " 6:6 l6",    " 7:7 l7",    " 8:8 l8",   "-9 [l9]",
                       "+9 [x9]", " 10:10 l10", " 11:11 l11", " 12:12 l12"};

    const QString note = "These two texts have too little in common to compare line by line.";
    QTest::newRow("nothing in common")
        << Numbered("older line %1", 10000) << Numbered("newer line %1", 10000) << false << note
        << QStringList();
    // Reversed: every line is in both texts, but aligning them costs the
    // library more comparisons than the budget allows. Under it, the result
    // would be listed (it changes fewer characters than a refusal needs).
    QStringList reversed = Numbered("%1", 10000).split(u'\n');
    std::reverse(reversed.begin(), reversed.end());
    QTest::newRow("beyond the budget")
        << Numbered("%1", 10000) << reversed.join(u'\n') << false << note << QStringList();
    QTest::newRow("cancelled") << "one"
                               << "two" << true << "The comparison was stopped." << QStringList();
}

void tst_TextDiff_Unit::compare()
{
    QFETCH(QString, older);
    QFETCH(QString, newer);
    QFETCH(bool, cancelled);
    QFETCH(QString, summary);
    QFETCH(QStringList, lines);

    const std::atomic<bool> cancel{cancelled};
    const TTextDiff diff = DiffTexts(older, newer, 3, &cancel);
    QCOMPARE(diff.Summary(), summary);
    QCOMPARE(Render(diff), lines);
    if (!diff.Compared) {
        QVERIFY(diff.Hunks.isEmpty());
        return;
    }
    QString first;
    for (const QString &line : lines) {
        if (line.startsWith(u'-') || line.startsWith(u'+')) {
            first = line.mid(line.indexOf(u' ') + 1).remove(u'[').remove(u']');
            break;
        }
    }
    QCOMPARE(diff.FirstChangedLine, first);
    VerifyReassembles(older, newer);
}

// Lines drawn from a few, so that most occur many times on both sides: the
// comparison keeps a longest common run of lines, and its lines give back
// both texts.
void tst_TextDiff_Unit::shortestOnRandomLines()
{
    QRandomGenerator random(20240611);
    const QStringList pool{"a", "b", "c", "", "d e"};
    for (int round = 0; round < 300; ++round) {
        QStringList older;
        QStringList newer;
        for (int i = random.bounded(25); i > 0; --i)
            older << pool[random.bounded(pool.size())];
        newer = older;
        for (int i = random.bounded(8); i > 0; --i) {
            const int at = random.bounded(newer.size() + 1);
            if (random.bounded(2) && at < newer.size())
                newer.removeAt(at);
            else
                newer.insert(at, pool[random.bounded(pool.size())]);
        }
        // An empty last line would read as a final line break.
        if (!older.isEmpty() && older.last().isEmpty())
            older.last() = "z";
        if (!newer.isEmpty() && newer.last().isEmpty())
            newer.last() = "z";

        std::vector<std::vector<int>> common(size_t(older.size() + 1),
                                             std::vector<int>(size_t(newer.size() + 1), 0));
        for (int i = int(older.size()) - 1; i >= 0; --i) {
            for (int j = int(newer.size()) - 1; j >= 0; --j)
                common[size_t(i)][size_t(j)] = older[i] == newer[j]
                                                   ? common[size_t(i + 1)][size_t(j + 1)] + 1
                                                   : std::max(common[size_t(i + 1)][size_t(j)],
                                                              common[size_t(i)][size_t(j + 1)]);
        }
        const TTextDiff diff = DiffTexts(older.join(u'\n'), newer.join(u'\n'));
        QCOMPARE(diff.RemovedLines, int(older.size()) - common[0][0]);
        QCOMPARE(diff.AddedLines, int(newer.size()) - common[0][0]);
        VerifyReassembles(older.join(u'\n'), newer.join(u'\n'));
        if (QTest::currentTestFailed())
            QFAIL(qPrintable(older.join(u'|') + " against " + newer.join(u'|')));
    }
}

QTEST_GUILESS_MAIN(tst_TextDiff_Unit)
#include "tst_TextDiff_Unit.moc"
