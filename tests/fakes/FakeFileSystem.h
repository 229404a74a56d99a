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
        return aliases.contains(path) ? std::optional(aliases.value(path)) : std::nullopt;
    }
    QString displayName(const QString& path) const override {
        return displayNames.value(path, QFileInfo(path).fileName());
    }
};
