#include "windows/Main_Unit.h"
TMain_Form::TMain_Form(QWidget *parent) : QMainWindow(parent) { setWindowTitle(QStringLiteral("Nudger")); }
