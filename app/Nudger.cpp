#include "app/PlatformDependence_Unit.h"
#include "windows/Main_Unit.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    CaptureStartDirectory();
    CreateNamedMutex(QStringLiteral("Tovrin_Nudger"));
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Nudger"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/app_bitmap.png")));
    TMain_Form mainForm;
    if (mainForm.TerminateRequested())
        return 0;
    mainForm.show();
    return QApplication::exec();
}
