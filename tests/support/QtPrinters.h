#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <ostream>

// So that a failed comparison prints text rather than the bytes of Qt's containers. Found by
// GoogleTest through argument-dependent lookup, hence in the global namespace.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QUrl& url, std::ostream* os) {
    *os << '<' << url.toString().toStdString() << '>';
}
inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << '{';
    for (qsizetype i = 0; i < list.size(); ++i) {
        *os << (i ? ", " : "");
        PrintTo(list[i], os);
    }
    *os << '}';
}
