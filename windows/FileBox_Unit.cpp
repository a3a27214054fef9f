#include "windows/FileBox_Unit.h"

#include "storage/ReservedFileGuard_Unit.h"
#include "windows/Prompts_Unit.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

namespace {

class TFileBoxFilter : public QObject
{
public:
    TFileBoxFilter(QLineEdit *box, std::function<void()> onKey, std::function<void()> onClick)
        : QObject(box), FBox(box), FOnKey(std::move(onKey)), FOnClick(std::move(onClick))
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != FBox || !FBox->isEnabled())
            return false;
        switch (event->type()) {
        case QEvent::KeyPress:
            if (!WouldEdit(static_cast<const QKeyEvent &>(*event)))
                return false;
            FOnKey();
            return true;
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick: {
            const auto &mouse = static_cast<const QMouseEvent &>(*event);
            // A click counts when the button is let go over the box.
            if (mouse.button() == Qt::LeftButton &&
                (event->type() == QEvent::MouseButtonDblClick ||
                 FBox->rect().contains(mouse.position().toPoint())))
                FOnClick();
            return false;
        }
        default:
            return false;
        }
    }

private:
    static bool WouldEdit(const QKeyEvent &event)
    {
        if (event.key() == Qt::Key_Backspace || event.key() == Qt::Key_Delete)
            return true;
        const QString text = event.text();
        return !text.isEmpty() && text.at(0).isPrint();
    }

    QLineEdit *const FBox;
    const std::function<void()> FOnKey;
    const std::function<void()> FOnClick;
};

} // namespace

void NewFileRow(QWidget *parent, const TFileRowNames &names, QLabel *&label,
                QPushButton *&browseButton, QLineEdit *&edit, const std::function<void()> &onBrowse,
                std::function<void()> onKey)
{
    label = new QLabel(names.Caption, parent);
    label->setObjectName(QLatin1String(names.LabelName));
    label->setAccessibleName(names.Caption);

    browseButton = new QPushButton(QStringLiteral("Browse"), parent);
    browseButton->setObjectName(QLatin1String(names.BrowseButtonName));
    browseButton->setAccessibleName(names.BrowseAccessibleName);
    QObject::connect(browseButton, &QPushButton::clicked, browseButton, [onBrowse] { onBrowse(); });

    edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(names.EditName));
    edit->setReadOnly(true);
    edit->setAccessibleName(names.Caption);
    edit->setAccessibleDescription(names.Hint);
    edit->setToolTip(names.Hint);
    label->setBuddy(edit);
    edit->installEventFilter(new TFileBoxFilter(edit, std::move(onKey), onBrowse));
}

bool ChooseUsableFile(const QString &title, QString &fileName)
{
    TFileChooserOptions options;
    options.Title = title;
    options.FileName = fileName;
    options.Filter = QStringLiteral("Text files (*.txt)");
    options.DefaultSuffix = QStringLiteral("txt");
    options.ConfirmOverwrite = false;
    const auto refuse = [](const QString &text) { Prompts().ShowMessage(text); };
    for (;;) {
        if (!Prompts().ChooseSaveFile(options))
            return false;
        if (IsUsableFile(options.FileName, refuse)) {
            fileName = options.FileName;
            return true;
        }
    }
}
