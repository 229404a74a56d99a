#pragma once

#include "platform/Dialogs.h"

#include <QQueue>
#include <functional>
#include <utility>

// Answers alerts and open panels from queues the test fills, and records what was shown.
// An empty queue answers the first button, or a cancelled panel.
class FakeDialogs : public Dialogs {
public:
    QList<AlertOptions> alerts;
    QList<OpenPanelOptions> panels;
    QQueue<int> alertAnswers;
    QQueue<std::optional<QList<QUrl>>> panelAnswers;

    std::function<void()> whileAlertIsOpen; // stands in for the alert's own event loop

    int runAlert(const AlertOptions& alert) override {
        alerts << alert;
        if (whileAlertIsOpen)
            std::exchange(whileAlertIsOpen, nullptr)();
        return alertAnswers.isEmpty() ? 0 : alertAnswers.dequeue();
    }
    std::optional<QList<QUrl>> runOpenPanel(const OpenPanelOptions& panel) override {
        panels << panel;
        return panelAnswers.isEmpty() ? std::nullopt : panelAnswers.dequeue();
    }
    void beginOpenPanel(const OpenPanelOptions& panel, OpenPanelCompletion completion) override {
        completion(runOpenPanel(panel));
    }
};
