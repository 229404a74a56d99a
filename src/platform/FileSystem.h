#pragma once

#include <QString>
#include <optional>

// What the program asks of the file system beyond what QFileInfo answers portably.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Whether the item is an alias file; nullopt when the question cannot be answered.
    // Linux has no alias files: the real implementation answers false.
    virtual std::optional<bool> isAliasFile(const QString& path) const = 0;
    // The target of an alias file, resolved without any user interaction; nullopt on failure.
    virtual std::optional<QString> resolveAlias(const QString& path) const = 0;
    // The name the file manager shows for the item (a desktop entry shows its Name).
    virtual QString displayName(const QString& path) const = 0;
};
