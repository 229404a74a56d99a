#pragma once

// A recently-used bookmark file like GTK writes it, with its files in a private home, shared
// by the benchmarks of the recent-files index.

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QString>
#include <QUrl>

struct RecentlyUsedFixture {
    QString home;
    QString file;
    qint64 fileSize = 0;
};

// Entries: mostly documents that exist, some folders, some files that are gone, some outside
// the home folder, dates spread over two months. The file goes to file, the items under home.
inline RecentlyUsedFixture makeRecentlyUsedFixture(const QString& home, const QString& file,
                                                   int entries) {
    RecentlyUsedFixture f{home, file, 0};
    QDir().mkpath(home + QStringLiteral("/docs"));
    QDir().mkpath(home + QStringLiteral("/folders"));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const char* extensions[] = {"txt", "pdf", "odt", "png", "c"};
    QByteArray xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xbel version=\"1.0\"\n"
        "      xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\"\n"
        "      xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\"\n>\n";
    for (int i = 0; i < entries; ++i) {
        QString path;
        const char* mime = "text/plain";
        if (i % 10 == 9) {
            path = home + QStringLiteral("/folders/f%1").arg(i);
            QDir().mkpath(path);
            mime = "inode/directory";
        } else if (i % 10 == 8) {
            path = home + QStringLiteral("/docs/gone%1.txt").arg(i);
        } else if (i % 10 == 7) {
            path = QStringLiteral("/usr/share/doc/x%1.txt").arg(i);
        } else {
            path = home + QStringLiteral("/docs/document %1.%2")
                              .arg(QString::number(i), QLatin1String(extensions[i % 5]));
            QFile(path).open(QIODevice::WriteOnly);
        }
        const QDateTime added = now.addSecs(-qint64(i) * 1037 % (60 * 24 * 3600));
        const QString modified = added.addSecs(60).toString(Qt::ISODateWithMs);
        xml +=
            QStringLiteral("  <bookmark href=\"%1\" added=\"%2\" modified=\"%3\" visited=\"%2\">\n"
                           "    <info>\n      <metadata owner=\"http://freedesktop.org\">\n"
                           "        <mime:mime-type type=\"%5\"/>\n"
                           "        <bookmark:applications>\n"
                           "          <bookmark:application name=\"Editor\" "
                           "exec=\"&apos;editor %u&apos;\" modified=\"%3\" count=\"%4\"/>\n"
                           "        </bookmark:applications>\n      </metadata>\n"
                           "    </info>\n  </bookmark>\n")
                .arg(QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded()),
                     added.toString(Qt::ISODateWithMs), modified, QString::number(i % 7 + 1),
                     QLatin1String(mime))
                .toUtf8();
    }
    xml += "</xbel>\n";
    QFile out(file);
    out.open(QIODevice::WriteOnly);
    out.write(xml);
    f.fileSize = xml.size();
    return f;
}
