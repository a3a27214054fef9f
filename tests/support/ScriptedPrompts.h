// A TPrompts double for tests: answers from a script, in order, and records
// every question it was asked.
#pragma once

#include "windows/Prompts_Unit.h"

#include <QFont>
#include <QList>
#include <QQueue>
#include <QString>
#include <QVariant>

#include <optional>

class TScriptedPrompts : public TPrompts
{
public:
    struct Record
    {
        QString Kind; // "message", "information", "error", "confirm", "open", "save", "font"
        QString Title;
        QString Text; // message text, or the name a chooser started at
        QMessageBox::StandardButtons Buttons;
        QMessageBox::StandardButton DefaultButton = QMessageBox::NoButton;
        QFont Font; // the font a font chooser started at
    };

    TScriptedPrompts() { SetPrompts(this); }
    ~TScriptedPrompts() override { SetPrompts(nullptr); }

    // Script: the answers given to the next questions, in order.
    void AnswerButton(QMessageBox::StandardButton button)
    {
        FAnswers.enqueue(QVariant(int(button)));
    }
    // Compare at the next ConfirmWithCompare, which then takes the next answer.
    void AnswerCompare() { FAnswers.enqueue(QVariant(CompareAnswer)); }
    void AnswerFile(const QString &name) { FAnswers.enqueue(QVariant(name)); }
    void CancelChooser() { FAnswers.enqueue(QVariant()); }
    void AnswerFont(const QFont &font) { FAnswers.enqueue(QVariant(font)); }

    QList<Record> Records;
    // Questions asked with no answer left in the script.
    int Unanswered = 0;
    int Pending() const { return int(FAnswers.size()); }

    QStringList Texts() const
    {
        QStringList texts;
        for (const Record &record : Records)
            texts << record.Text;
        return texts;
    }
    int Count(const QString &text) const { return int(Texts().count(text)); }

    void ShowMessage(const QString &text) override
    {
        Records << Record{QStringLiteral("message"), QStringLiteral("Nudger"), text,
                          QMessageBox::Ok,           QMessageBox::Ok,          {}};
        TakeButton(QMessageBox::Ok);
    }
    void ShowInformation(const QString &text) override
    {
        Records << Record{QStringLiteral("information"),
                          QStringLiteral("Information"),
                          text,
                          QMessageBox::Ok,
                          QMessageBox::Ok,
                          {}};
        TakeButton(QMessageBox::Ok);
    }
    QMessageBox::StandardButton ShowError(const QString &text) override
    {
        Records << Record{QStringLiteral("error"),
                          QStringLiteral("Error"),
                          text,
                          QMessageBox::Retry | QMessageBox::Abort,
                          QMessageBox::Retry,
                          {}};
        return TakeButton(QMessageBox::Abort);
    }
    QMessageBox::StandardButton Confirm(const QString &text, QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) override
    {
        Records << Record{
            QStringLiteral("confirm"), QStringLiteral("Confirm"), text, buttons, defaultButton, {}};
        return TakeButton(buttons.testFlag(QMessageBox::Cancel) ? QMessageBox::Cancel
                                                                : QMessageBox::No);
    }
    QMessageBox::StandardButton ConfirmWithCompare(const QString &text, const QString &details,
                                                   const std::function<void()> &compare) override
    {
        Records << Record{QStringLiteral("confirm"),          QStringLiteral("Confirm"), text,
                          QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes,          {}};
        Details << details;
        while (!FAnswers.isEmpty() && FAnswers.head() == QVariant(CompareAnswer)) {
            FAnswers.dequeue();
            compare();
        }
        return TakeButton(QMessageBox::No);
    }
    bool ChooseOpenFile(TFileChooserOptions &options) override
    {
        return TakeFile(QStringLiteral("open"), options);
    }
    bool ChooseSaveFile(TFileChooserOptions &options) override
    {
        return TakeFile(QStringLiteral("save"), options);
    }
    bool ChooseFont(QFont &font) override
    {
        Records << Record{QStringLiteral("font"), QString(), QString(), {}, {}, font};
        const std::optional<QVariant> answer = Take();
        if (!answer || !answer->canConvert<QFont>() || answer->typeId() != QMetaType::QFont)
            return false;
        font = answer->value<QFont>();
        return true;
    }

    QList<TFileChooserOptions> Choosers;
    // The details of each ConfirmWithCompare, in order.
    QStringList Details;

private:
    std::optional<QVariant> Take()
    {
        if (FAnswers.isEmpty()) {
            ++Unanswered;
            return std::nullopt;
        }
        return FAnswers.dequeue();
    }
    QMessageBox::StandardButton TakeButton(QMessageBox::StandardButton fallback)
    {
        const std::optional<QVariant> answer = Take();
        if (!answer || answer->typeId() != QMetaType::Int)
            return fallback;
        return static_cast<QMessageBox::StandardButton>(answer->toInt());
    }
    bool TakeFile(const QString &kind, TFileChooserOptions &options)
    {
        Records << Record{kind, options.Title, options.FileName, {}, {}, {}};
        Choosers << options;
        const std::optional<QVariant> answer = Take();
        if (!answer || answer->typeId() != QMetaType::QString)
            return false;
        options.FileName = answer->toString();
        return true;
    }

    static constexpr int CompareAnswer = -1;
    QQueue<QVariant> FAnswers;
};
