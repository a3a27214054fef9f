#include "windows/ManualReader_Unit.h"

#include "app/PlatformDependence_Unit.h"
#include "windows/AreaColours_Unit.h"
#include "windows/Prompts_Unit.h"
#include "windows/WindowPlacement_Unit.h"

#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>

TManualReader_Form::TManualReader_Form(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Manual"));
    resize(696, 480);

    Manual_TextBrowser = new QTextBrowser(this);
    Manual_TextBrowser->setObjectName(QStringLiteral("Manual_TextBrowser"));
    Manual_TextBrowser->setAccessibleName(QStringLiteral("Nudger Manual"));
    Manual_TextBrowser->setAccessibleDescription(
        QStringLiteral("How to use Nudger; follow a link with Tab and Enter"));
    // The manual's own links lead from the contents to its sections; there is
    // nothing outside it to follow.
    Manual_TextBrowser->setOpenLinks(true);
    Manual_TextBrowser->setOpenExternalLinks(false);
    // The manual's page is written for black text on white, as the text
    // areas are. Its links take their colour when the page is read, from
    // the style sheet rather than from the browser's palette.
    SetAreaTextColour(Manual_TextBrowser, clBlack);
    Manual_TextBrowser->document()->setDefaultStyleSheet(
        QStringLiteral("a { color: %1; }")
            .arg(Manual_TextBrowser->palette().color(QPalette::Link).name()));

    Close_Button = LayOutWithCloseStrip(this, Manual_TextBrowser, Qt::AlignRight);
    FormCreate();
}

QString TManualReader_Form::ManualPath()
{
    return StartDirectory() + QStringLiteral("Manual.html");
}

void TManualReader_Form::FormCreate()
{
    ManualExists = true;
    const QString path = ManualPath();
    if (!QFileInfo(path).isFile()) {
        ManualExists = false;
        return;
    }
    // The browser shows an unreadable or empty file as an empty page without
    // saying so; check that there is something to read and that it arrived.
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly) || probe.size() == 0) {
        ManualExists = false;
        return;
    }
    probe.close();
    Manual_TextBrowser->setSource(QUrl::fromLocalFile(path), QTextDocument::HtmlResource);
    if (Manual_TextBrowser->document()->isEmpty())
        ManualExists = false;
}

void ShowManualWindow()
{
    TManualReader_Form manual;
    if (manual.ManualExists)
        manual.exec();
    else
        Prompts().ShowMessage(QStringLiteral("The manual is missing!"));
}
