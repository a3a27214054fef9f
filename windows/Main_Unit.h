#pragma once
#include <QMainWindow>
class TMain_Form : public QMainWindow
{
    Q_OBJECT
public:
    explicit TMain_Form(QWidget *parent = nullptr);
};
