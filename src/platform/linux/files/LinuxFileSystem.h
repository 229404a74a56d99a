#pragma once

#include "platform/FileSystem.h"

class LinuxFileSystem : public FileSystem {
public:
    std::optional<bool> isAliasFile(const QString& path) const override;
    std::optional<QString> resolveAlias(const QString& path) const override;
    QString displayName(const QString& path) const override;
};

// The Name of a desktop entry in the user's language, or empty.
QString desktopEntryName(const QString& path);
