// The texts the store's crash loop keeps, made again by the check that reads
// them back.
#pragma once

#include <QByteArray>

// The manuscript as it is at index, and its displaced twin.
inline QByteArray StoreText(quint64 index, bool displaced)
{
    QByteArray text;
    for (quint64 line = 0; line < 400; ++line)
        text += "Line " + QByteArray::number(line) + " of the book, " +
                QByteArray::number((line * 31 + (line % 17 == index % 17 ? index : 0)) % 1009) +
                " and so on.\n";
    for (quint64 added = 0; added < index % 200; ++added)
        text += "Sentence " + QByteArray::number(added) + " added later.\n";
    if (displaced)
        text += "What another program wrote, round " + QByteArray::number(index) + ".\n";
    return text;
}
