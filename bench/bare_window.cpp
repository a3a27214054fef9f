// The start-up baseline: the least a Qt text editor window needs, a main
// window holding a plain text editor, started and shown the way Nudger is.
#include <QApplication>
#include <QMainWindow>
#include <QPlainTextEdit>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Bare window"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare window"));
    window.setCentralWidget(new QPlainTextEdit(&window));
    window.resize(718, 480);
    window.show();
    return QApplication::exec();
}
