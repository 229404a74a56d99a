#pragma once

#include <QString>
#include <optional>

// Whether this program starts when the user logs in. The values keep the order the login-item
// service of other systems reports them in.
enum class LoginItemStatus {
    notRegistered = 0,
    enabled = 1,
    requiresApproval = 2, // registered, waiting for the user's approval in the system settings
    notFound = 3,         // the service cannot find this program
};

// Why the login-item service refused a change.
struct LoginItemError {
    QString message;
};

// The login-item service for this program's own bundle. Main thread.
class LoginItems {
public:
    virtual ~LoginItems() = default;

    virtual LoginItemStatus status() const = 0;
    // Each answers nullopt on success, else the service's error.
    virtual std::optional<LoginItemError> registerLoginItem() = 0;
    virtual std::optional<LoginItemError> unregisterLoginItem() = 0;
};
