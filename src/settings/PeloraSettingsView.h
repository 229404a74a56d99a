#pragma once

#include "platform/UserDefaults.h"

#include <QList>
#include <QWidget>

class GeneralSettingsView;
class QToolButton;
class UpdatesSettingsView;

// The selected settings tab: 1 is Updates, anything else General.
inline constexpr DefaultsKey<qint64> kSettingsSelectedTabKey{"settingsSelectedTab", 0};

// The settings window's content: a row of tab buttons over the selected tab's content,
// 480 points wide with 12 points of padding.
class PeloraSettingsView : public QWidget {
    Q_OBJECT
public:
    enum Tab { general = 0, updates = 1 };
    static constexpr int kContentWidth = 480;
    static constexpr int kPadding = 12;

    // Takes the two tabs' contents as its children.
    PeloraSettingsView(UserDefaults& defaults, GeneralSettingsView* generalTab,
                       UpdatesSettingsView* updatesTab, QWidget* parent = nullptr);

    // The tab shown for the stored value.
    Tab selectedTab() const;
    // Stores the choice; the content follows the stored value.
    void setSelectedTab(int tag);
    // The label of the selected tab, which the window shows as its title.
    QString selectedTabTitle() const;
    static QString tabTitle(Tab tab);

    GeneralSettingsView* generalView() const { return general_; }
    UpdatesSettingsView* updatesView() const { return updates_; }
    QToolButton* tabButton(Tab tab) const { return tabButtons_.value(tab); }

Q_SIGNALS:
    void selectedTabChanged(int tab);
    // Asks the settings window to fit its height to the content later.
    void fitRequested();

private:
    void showSelectedTab();

    UserDefaults& defaults_;
    GeneralSettingsView* general_;
    UpdatesSettingsView* updates_;
    QList<QToolButton*> tabButtons_;
    Tab shown_ = general;
};
