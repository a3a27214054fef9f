#include "storage/TovrinDataEncode_Unit.h"
// placeholder
QByteArray ScrambleText(const QByteArray &, const QByteArray &, const QByteArray &, const QByteArray &plain) { return plain; }
QByteArray UnscrambleText(const QByteArray &, const QByteArray &, const QByteArray &, const QByteArray &s) { return s; }
QByteArrayList SplitLines(const QByteArray &text) { return text.split('\n'); }
QByteArray JoinLines(const QByteArrayList &lines) { QByteArray r; for (const auto &l : lines) r += l + "\r\n"; return r; }
