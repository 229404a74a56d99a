#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

#include <initializer_list>

#include <sys/stat.h>

// Writes a file, making its folders; an executable one is the owner's only. Its path.
inline QString writeFile(const QString& path, const QByteArray& content, bool executable = false) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    f.write(content);
    f.close();
    if (executable)
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Makes a FIFO: a reader that blocks on it waits for ever for a writer.
inline bool makeFifo(const QString& path) {
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

// Sets an environment variable for the length of a scope, then puts back what was there.
class EnvOverride {
public:
    EnvOverride(const char* name, const QString& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), saved_(qgetenv(name)) {
        qputenv(name, QFile::encodeName(value));
    }
    ~EnvOverride() {
        // An empty value is not the same as none to every reader (GIO's MIME lookup).
        if (had_)
            qputenv(name_, saved_);
        else
            qunsetenv(name_);
    }
    EnvOverride(const EnvOverride&) = delete;
    EnvOverride& operator=(const EnvOverride&) = delete;

private:
    const char* name_;
    bool had_;
    QByteArray saved_;
};

// A temporary folder tree made from a short description, one entry a string: "a/b.txt" is a
// file (its folders made too), "a/c/" a folder, "a/f|" a FIFO, "l -> a/b.txt" a symbolic link (a
// relative target is taken from the root). Paths are canonical, as the program records them (the
// temporary folder may sit behind a link).
class TempTree {
public:
    TempTree(std::initializer_list<const char*> entries = {}) {
        EXPECT_TRUE(dir_.isValid());
        root_ = QFileInfo(dir_.path()).canonicalFilePath();
        for (const char* entry : entries)
            add(QString::fromUtf8(entry));
    }

    // Makes one entry; the path of what it made.
    QString add(const QString& entry, const QByteArray& content = "x") {
        const qsizetype arrow = entry.indexOf(QStringLiteral(" -> "));
        const bool folder = arrow < 0 && entry.endsWith(u'/');
        const bool fifo = arrow < 0 && entry.endsWith(u'|');
        const QString made = path(arrow >= 0 ? entry.left(arrow) : entry.chopped(folder || fifo));
        EXPECT_TRUE(QDir().mkpath(folder ? made : QFileInfo(made).path())) << made.toStdString();
        if (arrow >= 0) {
            const QString target = entry.mid(arrow + 4);
            EXPECT_TRUE(QFile::link(target.startsWith(u'/') ? target : path(target), made))
                << made.toStdString();
        } else if (fifo) {
            EXPECT_TRUE(makeFifo(made));
        } else if (!folder) {
            writeFile(made, content);
        }
        return made;
    }

    const QString& root() const { return root_; }
    QString path(const QString& relative) const { return root_ + u'/' + relative; }
    QUrl url(const QString& relative) const { return QUrl::fromLocalFile(path(relative)); }

private:
    QTemporaryDir dir_;
    QString root_;
};
