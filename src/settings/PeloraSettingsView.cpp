#include "settings/PeloraSettingsView.h"

#include "common/Symbols.h"
#include "common/Texts.h"
#include "settings/GeneralSettingsView.h"
#include "settings/UpdatesSettingsView.h"

#include <QButtonGroup>
#include <QFrame>
#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>

PeloraSettingsView::PeloraSettingsView(UserDefaults& defaults, GeneralSettingsView* generalTab,
                                       UpdatesSettingsView* updatesTab, QWidget* parent)
    : QWidget(parent), defaults_(defaults), general_(generalTab), updates_(updatesTab) {
    connect(general_, &GeneralSettingsView::fitRequested, this, &PeloraSettingsView::fitRequested);
    connect(updates_, &UpdatesSettingsView::fitRequested, this, &PeloraSettingsView::fitRequested);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // A toolbar of tabs, icon above label, as desktop settings windows have.
    auto* bar = new QWidget;
    bar->setObjectName(QStringLiteral("settingsTabBar"));
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(kPadding, 8, kPadding, 6);
    barLayout->setSpacing(4);
    barLayout->addStretch(1);
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    const struct {
        Tab tab;
        const char* symbol;
    } tabs[] = {{general, "gear"}, {updates, "arrow.down.circle"}};
    for (const auto& t : tabs) {
        auto* button = new QToolButton;
        button->setText(tabTitle(t.tab));
        button->setIcon(symbolIcon(QString::fromLatin1(t.symbol)));
        button->setIconSize(QSize(24, 24));
        button->setToolButtonStyle(button->icon().isNull() ? Qt::ToolButtonTextOnly
                                                           : Qt::ToolButtonTextUnderIcon);
        button->setCheckable(true);
        button->setAutoRaise(true);
        button->setMinimumSize(76, button->icon().isNull() ? 30 : 50);
        button->setFocusPolicy(Qt::TabFocus);
        group->addButton(button, t.tab);
        barLayout->addWidget(button);
        tabButtons_ << button;
    }
    barLayout->addStretch(1);
    layout->addWidget(bar);

    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);

    auto* content = new QVBoxLayout;
    content->setContentsMargins(kPadding, kPadding + 4, kPadding, kPadding);
    content->setSpacing(0);
    general_->setFixedWidth(kContentWidth);
    updates_->setFixedWidth(kContentWidth);
    // Only the selected tab is in the layout's size, so the window fits that tab alone.
    content->addWidget(general_);
    content->addWidget(updates_);
    layout->addLayout(content);
    setFixedWidth(kContentWidth + 2 * kPadding);

    connect(group, &QButtonGroup::idClicked, this, [this](int id) { setSelectedTab(id); });
    connect(&defaults_, &UserDefaults::valueChanged, this, [this](const QString& key) {
        if (key == kSettingsSelectedTabKey.key())
            showSelectedTab();
    });
    shown_ = selectedTab();
    general_->setVisible(shown_ == general);
    updates_->setVisible(shown_ == updates);
    tabButtons_.value(shown_)->setChecked(true);
}

PeloraSettingsView::Tab PeloraSettingsView::selectedTab() const {
    return kSettingsSelectedTabKey.read(defaults_) == updates ? updates : general;
}

void PeloraSettingsView::setSelectedTab(int tag) {
    kSettingsSelectedTabKey.write(defaults_, qint64(tag));
    showSelectedTab();
}

QString PeloraSettingsView::tabTitle(Tab tab) {
    return tab == updates ? L("settingsTabUpdatesTitle") : L("settingsTabGeneralTitle");
}

QString PeloraSettingsView::selectedTabTitle() const {
    return tabTitle(selectedTab());
}

void PeloraSettingsView::showSelectedTab() {
    const Tab tab = selectedTab();
    tabButtons_.value(tab)->setChecked(true);
    if (tab == shown_)
        return;
    shown_ = tab;
    // Hide first, so the outgoing tab never adds to the size while the other appears.
    (tab == general ? static_cast<QWidget*>(updates_) : general_)->hide();
    (tab == general ? static_cast<QWidget*>(general_) : updates_)->show();
    Q_EMIT selectedTabChanged(tab);
    Q_EMIT fitRequested();
}
