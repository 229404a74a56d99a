#include "settings/UpdatesSettingsView.h"

#include "common/Services.h"
#include "common/Texts.h"
#include "settings/PeloraUpdatePreferences.h"
#include "settings/SettingsWidgets.h"
#include "settings/VersionCheckService.h"

#include <QHBoxLayout>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

QString lastCheckedCaption(const QDateTime& date) {
    const QLocale locale;
    const QDateTime local = date.toLocalTime();
    return L("updates.lastChecked") + QStringLiteral(": ") +
           locale.toString(local.date(), QLocale::LongFormat) + u' ' +
           locale.toString(local.time(), QLocale::ShortFormat);
}

UpdatesSettingsView::UpdatesSettingsView(Services& services, PeloraUpdatePreferences& preferences,
                                         std::function<void()> scheduleFit, QWidget* parent)
    : QWidget(parent), services_(services), preferences_(preferences),
      scheduleFit_(std::move(scheduleFit)), automaticSwitch_(new ToggleSwitch),
      checkNowButton_(new QPushButton(L("updates.manual.button"))),
      progress_(new BusyIndicator(checkNowButton_)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(18);

    automaticSwitch_->setAccessibleName(L("updates.automatic.title"));
    automaticSwitch_->setChecked(preferences_.autoCheckForUpdates());
    automaticRow_ = new SettingsRow(L("updates.automatic.title"), L("updates.automatic.subtitle"),
                                    automaticSwitch_);
    auto* automatic = new SettingsSection(L("updates.section.automatic"));
    automatic->addRow(automaticRow_);
    layout->addWidget(automatic);

    // The button keeps its size while the indicator stands in for its title.
    checkNowButton_->setAutoDefault(false);
    checkNowButton_->setAccessibleName(L("updates.manual.button"));
    checkNowButton_->setMinimumWidth(checkNowButton_->sizeHint().width());
    auto* buttonLayout = new QHBoxLayout(checkNowButton_);
    buttonLayout->setContentsMargins(0, 0, 0, 0);
    buttonLayout->addWidget(progress_, 0, Qt::AlignCenter);
    progress_->hide();
    manualRow_ = new SettingsRow(L("updates.manual.title"), QString(), checkNowButton_);
    auto* manual = new SettingsSection(L("updates.section.manual"));
    manual->addRow(manualRow_);
    layout->addWidget(manual);
    layout->addStretch(1);

    connect(automaticSwitch_, &ToggleSwitch::clicked, this,
            [this](bool on) { preferences_.setAutoCheckForUpdates(on); });
    connect(&preferences_, &PeloraUpdatePreferences::autoCheckForUpdatesChanged, automaticSwitch_,
            &ToggleSwitch::setChecked);
    connect(checkNowButton_, &QPushButton::clicked, this, &UpdatesSettingsView::checkNow);
    // Any check's end, automatic ones too, clears the indicator and updates the caption.
    finishObserver_ =
        services_.notifications().addObserver(kVersionCheckDidFinish, [this](const QVariantMap&) {
            setChecking(false);
            refreshLastCheckedText();
            if (scheduleFit_)
                scheduleFit_();
        });
    refreshLastCheckedText();
}

UpdatesSettingsView::~UpdatesSettingsView() {
    services_.notifications().removeObserver(finishObserver_);
}

void UpdatesSettingsView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refreshLastCheckedText();
}

void UpdatesSettingsView::checkNow() {
    setChecking(true);
    services_.get<VersionCheckService>().checkForUpdates(true);
}

void UpdatesSettingsView::setChecking(bool checking) {
    isChecking_ = checking;
    checkNowButton_->setText(checking ? QString() : L("updates.manual.button"));
    progress_->setVisible(checking);
}

void UpdatesSettingsView::refreshLastCheckedText() {
    const auto date = services_.get<VersionCheckService>().lastSuccessfulCheckDate();
    lastCheckedText_ = date ? lastCheckedCaption(*date) : QString();
    manualRow_->setSubtitle(lastCheckedText_);
}
