#pragma once

#include "platform/FileSystem.h"

#include <QFileInfo>
#include <QHash>

// Real file names, plus alias files that tests declare: path -> target.
class FakeFileSystem : public FileSystem {
public:
    QHash<QString, QString> aliases;      // alias path -> target path
    QHash<QString, QString> unresolvable; // alias paths whose resolution fails
    QHash<QString, QString> displayNames; // overrides of display names

    std::optional<bool> isAliasFile(const QString& path) const override {
        return aliases.contains(path) || unresolvable.contains(path);
    }
    std::optional<QString> resolveAlias(const QString& path) const override {
        auto it = aliases.constFind(path);
        if (it == aliases.constEnd())
            return std::nullopt;
        return *it;
    }
    QString displayName(const QString& path) const override {
        auto it = displayNames.constFind(path);
        if (it != displayNames.constEnd())
            return *it;
        return QFileInfo(path).fileName();
    }
};
