// The reliability tests' child program. It runs the main window and the
// suggestion settings dialog headless, with prompt and sound doubles, and
// saves through their own code paths:
//
//   rel_SaveWorker save DIR FIRST
//       saves versions FIRST, FIRST+1, ... of the primary and backup files,
//       the configuration and the user suggestions file until it is killed;
//       prints "ready" once the window is up and "<file> N" after each
//       completed save of version N.
//   rel_SaveWorker fail text|configuration|user DIR [short]
//       makes one save of a large text (or, with "short", of a text small
//       enough to stay in a write buffer until the file is closed) that the
//       caller's limits make fail, with a timer tick running while the
//       failure's box is open, and prints what the writer was told and
//       whether the text is still there.
//
// Output goes straight to the pipe, unbuffered, so that what was printed
// before a kill is never lost.

#include "NestingPrompts.h"
#include "Versions.h"

#include "app/PlatformDependence_Unit.h"
#include "storage/ConfigurationFile_Unit.h"
#include "support/CountingWaveService.h"
#include "support/PrivateData.h"
#include "windows/Main_Unit.h"
#include "windows/SuggestionSettings_Unit.h"

#include "windows/ConflictBar_Unit.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>

#include <csignal>
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

TMainFormDialogs Dialogs(const QString &primary)
{
    TMainFormDialogs dialogs;
    dialogs.ExecuteSettings = [primary](int &, QString &file, QString &) {
        file = primary;
        return true;
    };
    return dialogs;
}

// Any failure box in the saving loop is a fault the caller must hear of.
bool ReportBoxes(const TScriptedPrompts &prompts, qsizetype &seen)
{
    bool any = false;
    for (; seen < prompts.Records.size(); ++seen) {
        Say("box " + prompts.Records.at(seen).Text.toUtf8().toPercentEncoding());
        any = true;
    }
    return any;
}

int SaveForever(const QString &dir, quint64 first)
{
    SetStartDirectoryForTesting(dir);
    UsePrivateDataFolder(dir);
    TNestingPrompts prompts;
    TCountingWaveService wave;
    const QString primary = dir + QStringLiteral("/text.txt");
    TMain_Form form(nullptr, Dialogs(primary));
    form.SetBackupFile(dir + QStringLiteral("/backup.txt"));
    TSuggestionSettings_Form suggestions;
    suggestions.SetUseUserSuggestionsFile(true);
    suggestions.SetUserSuggestionsFile(dir + QStringLiteral("/mine.txt"));
    qsizetype seen = 0;
    ReportBoxes(prompts, seen);
    Say("ready");

    for (quint64 version = first;; ++version) {
        form.Text_Memo->setPlainText(Versions::Text(version, Versions::PrimarySalt));
        form.Save_MenuItemClick();
        if (ReportBoxes(prompts, seen))
            return 2;
        Say("text " + QByteArray::number(version));

        form.SetSuggestionNumber(int(version));
        form.SetUserSuggestionsFile(Versions::ConfigurationName(version));
        form.SaveConfiguration();
        if (ReportBoxes(prompts, seen))
            return 2;
        Say("configuration " + QByteArray::number(version));

        suggestions.UserSuggestions_Memo->setPlainText(Versions::Text(version, Versions::UserSalt));
        if (!suggestions.SaveUserSuggestions() || ReportBoxes(prompts, seen))
            return 2;
        Say("user " + QByteArray::number(version));
    }
}

int FailOnce(const QString &kind, const QString &dir, bool shortText)
{
    SetStartDirectoryForTesting(dir);
    UsePrivateDataFolder(dir);
    TNestingPrompts prompts;
    TCountingWaveService wave;
    const QString primary = dir + QStringLiteral("/text.txt");
    TMain_Form form(nullptr, Dialogs(primary));
    form.SetBackupFile(dir + QStringLiteral("/backup.txt"));
    qsizetype before = prompts.Records.size();
    // Larger than any limit the caller sets, or a few hundred bytes.
    const QString large = shortText ? Versions::Text(2, Versions::PrimarySalt)
                                    : Versions::Text(9, Versions::PrimarySalt).repeated(2);
    bool kept = false;

    if (kind == QLatin1String("text")) {
        form.Text_Memo->setPlainText(large);
        prompts.WhileOpen = [&form] {
            form.AutoSave_TimerTimer();
            form.Document().WaitForWrites();
        };
        form.Save_MenuItemClick();
        kept = form.Text_Memo->toPlainText() == large && form.TextChanged();
    } else if (kind == QLatin1String("configuration")) {
        form.SetUserSuggestionsFile(large);
        // Shown in order, each nudge moves the suggestion number on and
        // saves the configuration.
        form.SetRandomizeSuggestions(false);
        prompts.WhileOpen = [&form] { form.Nudge_TimerTimer(); };
        form.Sound_MenuItemClick();
        kept = form.UserSuggestionsFile() == large;
    } else if (kind == QLatin1String("user")) {
        TSuggestionSettings_Form suggestions;
        suggestions.SetUseUserSuggestionsFile(true);
        suggestions.SetUserSuggestionsFile(dir + QStringLiteral("/mine.txt"));
        before = prompts.Records.size();
        suggestions.UserSuggestions_Memo->setPlainText(large);
        const bool saved = suggestions.SaveUserSuggestions();
        kept = !saved && suggestions.UserSuggestions_Memo->toPlainText() == large &&
               suggestions.UserSuggestionsChanged();
    } else {
        return 3;
    }
    for (qsizetype i = before; i < prompts.Records.size(); ++i)
        Say("box " + prompts.Records.at(i).Text.toUtf8().toPercentEncoding());
    // What the bar above the text tells while it lasts, where nothing takes
    // the writer's keys.
    if (const auto *bar = form.findChild<TConflictBar *>(); bar && bar->ShowsProblem())
        Say("bar " + bar->Problem_Label->text().toUtf8().toPercentEncoding());
    Say(kept ? "kept" : "lost");
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    // A write past the file size limit then fails with EFBIG instead of
    // ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Nudger"));
    SetUserNameForTesting([] { return QStringLiteral("tester"); });
    const QStringList args = app.arguments();
    if (args.size() == 4 && args.at(1) == QLatin1String("save"))
        return SaveForever(args.at(2), args.at(3).toULongLong());
    if ((args.size() == 4 || args.size() == 5) && args.at(1) == QLatin1String("fail"))
        return FailOnce(args.at(2), args.at(3), args.value(4) == QLatin1String("short"));
    std::fprintf(stderr, "usage: rel_SaveWorker save DIR FIRST | fail KIND DIR [short]\n");
    return 3;
}
