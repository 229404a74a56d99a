#pragma once

#include "platform/RunningApplications.h"

#include <QDateTime>
#include <QString>
#include <optional>

class Bundle;
class RunningApplicationsHistoryService;

// Which running applications the open-applications menu lists and hide-all hides, and in what
// order; the menus themselves are built by StripWindowController.

// The program's own bundle identifier, from its info dictionary; none when it has none.
std::optional<QString> ownBundleIdentifier(const Bundle& bundle);

// An application the user works with: it has normal, taskbar-visible windows.
inline bool isUserApplication(const RunningApplication& app) {
    return app.regular;
}

// This process, or an application with the program's own bundle identifier (two absent
// identifiers counting as equal).
bool isProgramItself(const RunningApplication& app,
                     const std::optional<QString>& ownBundleIdentifier);

// Whether a is listed before b: applications with a known last activation come first, the
// latest on top; the rest, and ties, by name in ordinal, case-sensitive order (an absent name
// counts as empty).
bool opensBefore(const RunningApplication& a, const std::optional<QDateTime>& aActivated,
                 const RunningApplication& b, const std::optional<QDateTime>& bActivated);
