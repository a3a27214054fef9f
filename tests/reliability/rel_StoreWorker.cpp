// A child for the store's crash loop: keeps versions of a growing manuscript
// and prunes, without end, until it is killed. Two versions each round: the
// writer's own, kept as of 40 days back, which the pruning thins and the
// store's small bound drops; and a text something else displaced, kept as
// of now, which must survive everything. Each of these is reported once it
// is kept ("kept <index> <digest>"), so that the caller can ask for it back.
//
//   rel_StoreWorker DATABASE FIRST
#include "StoreTexts.h"
#include "storage/History_Unit.h"

#include <QCoreApplication>
#include <QDateTime>

#include <cstdio>
#include <unistd.h>

namespace {

void Say(const QByteArray &line)
{
    const QByteArray bytes = line + '\n';
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(STDOUT_FILENO, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            return;
        done += n;
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: rel_StoreWorker DATABASE FIRST\n");
        return 3;
    }
    const QString database = QString::fromLocal8Bit(argv[1]);
    // A bound the writer's own versions soon pass, so that they go, and the
    // displaced texts' chains are made anew around them.
    THistory history(database, database + QStringLiteral(".old"), 256 * 1024);
    history.SetPrimaryFile(QStringLiteral("/writer/book.txt"));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    Say("ready");
    for (quint64 index = QByteArray(argv[2]).toULongLong();; ++index) {
        const QByteArray own = StoreText(index, false);
        history.Keep(own, VersionDigest(own), TVersionReason::SavedEarlier,
                     now.addDays(-40).addSecs(qint64(index) * 600));
        const QByteArray displaced = StoreText(index, true);
        if (history.Keep(displaced, VersionDigest(displaced), TVersionReason::ChangedOutside,
                         now.addSecs(qint64(index))) != TKeepResult::Failed)
            Say("kept " + QByteArray::number(index) + ' ' + VersionDigest(displaced).toHex());
        if (index % 4 == 0)
            history.Prune(now.addSecs(qint64(index)));
    }
}
