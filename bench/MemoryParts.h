// What a running program holds in memory, read from /proc: its peak resident
// set so far, that set split into parts by what each mapping is, and the
// shared libraries it has mapped. The start-up benchmark reads it at a
// program's first paint.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include <sys/types.h>

// The parts a resident set is told in, in the order printed.
enum class TPart
{
    Program,   // the program file itself
    Qt,        // Qt's libraries and plugins
    Text,      // drawing text: fonts, fontconfig, FreeType, HarfBuzz
    Libraries, // every other shared library
    Heap,      // the heap and other anonymous memory
    Files,     // other mapped files (the locale, caches)
    Count
};

inline const char *PartName(TPart part)
{
    static const char *const names[] = {"program file",    "Qt",   "text",
                                        "other libraries", "heap", "other files"};
    return names[int(part)];
}

struct TMemoryParts
{
    long PeakKilobytes = 0; // VmHWM
    std::array<long, std::size_t(TPart::Count)> Kilobytes{};
    std::vector<std::string> Libraries; // the paths of the mapped .so files

    long Total() const
    {
        long total = 0;
        for (const long part : Kilobytes)
            total += part;
        return total;
    }
    bool Maps(const char *name) const
    {
        for (const std::string &library : Libraries) {
            if (library.find(name) != std::string::npos)
                return true;
        }
        return false;
    }
};

inline TPart PartOf(const QByteArray &path, const QByteArray &program)
{
    if (path.isEmpty() || path.startsWith('['))
        return TPart::Heap;
    if (path == program)
        return TPart::Program;
    if (path.contains("/libQt6") || path.contains("/qt6/plugins/"))
        return TPart::Qt;
    static const char *const text[] = {"libharfbuzz",  "libfreetype", "libfontconfig",
                                       "libgraphite2", "libexpat",    "/fonts/",
                                       "fontconfig"};
    for (const char *name : text) {
        if (path.contains(name))
            return TPart::Text;
    }
    if (path.contains(".so"))
        return TPart::Libraries;
    return TPart::Files;
}

// Reads /proc/<pid>/status and /proc/<pid>/smaps; program is the program
// file's path as the kernel names it.
inline TMemoryParts ReadMemoryParts(pid_t pid, const QByteArray &program)
{
    TMemoryParts parts;
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                parts.PeakKilobytes = line.mid(6).trimmed().split(' ').value(0).toLong();
        }
    }
    QFile smaps(QStringLiteral("/proc/%1/smaps").arg(pid));
    if (!smaps.open(QIODevice::ReadOnly))
        return parts;
    TPart part = TPart::Heap;
    for (const QByteArray &line : smaps.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        // A mapping's line starts with its address range ("55d0c1a2b000-...");
        // its fields ("Rss:  112 kB") start with a capital letter.
        const char first = line.at(0);
        const qsizetype dash = line.indexOf('-');
        const bool mapping = ((first >= '0' && first <= '9') || (first >= 'a' && first <= 'f')) &&
                             dash > 0 && dash < line.indexOf(' ');
        if (mapping) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            const QByteArray path = fields.size() > 5 ? fields.at(5) : QByteArray();
            part = PartOf(path, program);
            if (path.contains(".so")) {
                const std::string name = path.toStdString();
                if (parts.Libraries.empty() || parts.Libraries.back() != name)
                    parts.Libraries.push_back(name);
            }
        } else if (line.startsWith("Rss:")) {
            parts.Kilobytes[std::size_t(part)] +=
                line.mid(4).trimmed().split(' ').value(0).toLong();
        }
    }
    return parts;
}

// "program file +0.44, Qt +0.12, ..." for the parts where two sets differ.
inline std::string DescribePartsOver(const TMemoryParts &subject, const TMemoryParts &baseline)
{
    std::string text;
    for (int i = 0; i < int(TPart::Count); ++i) {
        const double mib =
            double(subject.Kilobytes[std::size_t(i)] - baseline.Kilobytes[std::size_t(i)]) / 1024.0;
        if (mib > -0.005 && mib < 0.005)
            continue;
        char part[64];
        std::snprintf(part, sizeof part, "%s%s %+.2f", text.empty() ? "" : ", ", PartName(TPart(i)),
                      mib);
        text += part;
    }
    return text.empty() ? "nothing" : text;
}
