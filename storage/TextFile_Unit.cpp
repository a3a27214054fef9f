#include "storage/TextFile_Unit.h"
#include <QFile>
// placeholder
bool ReadTextFile(const QString &fileName, TTextFileContent &content) { QFile f(fileName); if (!f.open(QIODevice::ReadOnly)) return false; content.Text = QString::fromUtf8(f.readAll()); return true; }
bool WriteTextFile(const QString &fileName, const QString &text, TTextEncoding) { QFile f(fileName); if (!f.open(QIODevice::WriteOnly)) return false; return f.write(text.toUtf8()) >= 0; }
