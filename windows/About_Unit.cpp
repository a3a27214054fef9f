#include "windows/About_Unit.h"

#include "app/PlatformDependence_Unit.h"
#include "windows/AreaColours_Unit.h"
#include "windows/WindowPlacement_Unit.h"

#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const int ShowMaximised = 3;

QFont PixelFont(int pixelSize, bool bold)
{
    QFont font = QGuiApplication::font();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QLabel *MakeLabel(QWidget *parent, const QString &name, const QString &text, const QFont &font)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setFont(font);
    // Black as designed, where black reads on the scheme's window colour.
    QPalette palette = label->palette();
    if (ContrastRatio(Qt::black, palette.color(QPalette::Window)) >= ReadableContrast) {
        palette.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(palette);
    }
    return label;
}

} // namespace

bool OpenWebAddress(const QString &address)
{
    return RunCommand(QStringLiteral("xdg-open ") + address, ShowMaximised);
}

QString TAbout_Form::WebAddress()
{
    return QStringLiteral("https://nudger.example.org");
}

TAbout_Form::TAbout_Form(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(263, 146);

    Main_Panel = new QFrame(this);
    Main_Panel->setObjectName(QStringLiteral("Main_Panel"));
    Main_Panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Main_Panel->setLineWidth(2);

    ProgramIcon_Image = new QLabel(Main_Panel);
    ProgramIcon_Image->setObjectName(QStringLiteral("ProgramIcon_Image"));
    ProgramIcon_Image->setFixedSize(65, 57);
    ProgramIcon_Image->setScaledContents(true);

    // FormCreate fills in the product, its version and the copyright line.
    ProductName_Label =
        MakeLabel(Main_Panel, QStringLiteral("ProductName_Label"), QString(), PixelFont(20, true));
    ProductVersion_Label = MakeLabel(Main_Panel, QStringLiteral("ProductVersion_Label"), QString(),
                                     PixelFont(12, false));
    Copyright_Label =
        MakeLabel(Main_Panel, QStringLiteral("Copyright_Label"), QString(), PixelFont(11, false));
    Message1_Label =
        MakeLabel(Main_Panel, QStringLiteral("Message1_Label"),
                  QStringLiteral("Visit %1 for updates").arg(WebAddress()), PixelFont(11, false));
    Message2_Label = MakeLabel(Main_Panel, QStringLiteral("Message2_Label"),
                               QStringLiteral("and other useful software."), PixelFont(11, false));
    for (QLabel *message : {Copyright_Label, Message1_Label, Message2_Label})
        message->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    for (QLabel *link : {Message1_Label, Message2_Label}) {
        link->setCursor(Qt::PointingHandCursor);
        link->setToolTip(WebAddress());
        link->installEventFilter(this);
    }

    auto *names = new QVBoxLayout;
    names->setSpacing(0);
    names->addWidget(ProductName_Label);
    names->addWidget(ProductVersion_Label);
    names->addStretch();
    auto *panelLayout = new QGridLayout(Main_Panel);
    panelLayout->setContentsMargins(4, 3, 4, 3);
    panelLayout->setHorizontalSpacing(8);
    panelLayout->setVerticalSpacing(0);
    panelLayout->addWidget(ProgramIcon_Image, 0, 0);
    panelLayout->addLayout(names, 0, 1);
    panelLayout->addWidget(Copyright_Label, 1, 0, 1, 2);
    panelLayout->addWidget(Message1_Label, 2, 0, 1, 2);
    panelLayout->addWidget(Message2_Label, 3, 0, 1, 2);
    panelLayout->setColumnStretch(1, 1);

    Close_Button = LayOutWithCloseStrip(this, Main_Panel, Qt::AlignHCenter);
    FormCreate();
}

void TAbout_Form::FormCreate()
{
    ProgramIcon_Image->setPixmap(QPixmap(QStringLiteral(":/app_bitmap.png")));
    ProductName_Label->setText(QStringLiteral("Nudger"));
    // The build takes the version from the project.
    ProductVersion_Label->setText(QStringLiteral(NUDGER_VERSION));
    Copyright_Label->setText(QStringLiteral("Copyright © 2026 The Nudger developers"));
}

bool TAbout_Form::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == Message1_Label || watched == Message2_Label) &&
        event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        Message2_LabelClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TAbout_Form::Message2_LabelClick()
{
    // Whether the opener started or not, there is nothing to tell the writer.
    OpenWebAddress(WebAddress());
}

void ShowAboutWindow()
{
    TAbout_Form about;
    about.exec();
}
