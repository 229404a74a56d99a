#pragma once

#include "platform/LoginItems.h"

// A login-item service whose answers the test sets, counting the changes asked of it.
// With approvalNeeded, a registration ends in "requires approval", as on systems that ask.
class FakeLoginItems : public LoginItems {
public:
    LoginItemStatus currentStatus = LoginItemStatus::notRegistered;
    bool approvalNeeded = false;
    std::optional<LoginItemError> failure; // every change fails with it while set
    int registerCalls = 0;
    int unregisterCalls = 0;

    LoginItemStatus status() const override { return currentStatus; }
    std::optional<LoginItemError> registerLoginItem() override {
        ++registerCalls;
        if (failure)
            return failure;
        currentStatus =
            approvalNeeded ? LoginItemStatus::requiresApproval : LoginItemStatus::enabled;
        return std::nullopt;
    }
    std::optional<LoginItemError> unregisterLoginItem() override {
        ++unregisterCalls;
        if (failure)
            return failure;
        currentStatus = LoginItemStatus::notRegistered;
        return std::nullopt;
    }
};
