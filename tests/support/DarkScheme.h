// The main colours of a dark desktop colour scheme (qt6ct's "darker"), for
// tests that check what a writer on a dark desktop can read.
#pragma once

#include <QColor>
#include <QPalette>

inline QPalette DarkScheme()
{
    QPalette dark(QColor(0x42, 0x42, 0x45), QColor(0x22, 0x20, 0x20));
    dark.setColor(QPalette::Base, QColor(0x3d, 0x3d, 0x3d));
    dark.setColor(QPalette::Text, Qt::white);
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::ButtonText, Qt::white);
    dark.setColor(QPalette::Mid, QColor(0x4a, 0x49, 0x47));
    dark.setColor(QPalette::Highlight, QColor(0x12, 0x60, 0x8a));
    dark.setColor(QPalette::HighlightedText, QColor(0xf9, 0xf9, 0xf9));
    return dark;
}
