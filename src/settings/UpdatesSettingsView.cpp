#include "settings/UpdatesSettingsView.h"

#include "common/Texts.h"
#include "settings/PeloraUpdatePreferences.h"
#include "settings/SettingsWidgets.h"
#include "settings/VersionCheckService.h"

#include <QHBoxLayout>
#include <QLocale>
#include <QPushButton>
#include <QTimeZone>
#include <QVBoxLayout>

#include <iterator>
#include <unicode/udat.h>

namespace {
// One pattern of the locale for a full date with a short time ("Thursday, March 5, 2026 at
// 2:07 PM", "Donnerstag, 5. März 2026 um 14:07"), from ICU, which knows how each language joins
// the two; Qt has no such mixed style. Empty when ICU cannot do it.
QString fullDateShortTime(const QDateTime& date, const QLocale& locale) {
    UErrorCode status = U_ZERO_ERROR;
    const QByteArray localeId = locale.name().toLatin1();
    const QString zone = QString::fromLatin1(QTimeZone::systemTimeZoneId());
    UDateFormat* format =
        udat_open(UDAT_SHORT, UDAT_FULL, localeId.constData(),
                  zone.isEmpty() ? nullptr : reinterpret_cast<const UChar*>(zone.utf16()),
                  zone.isEmpty() ? 0 : int32_t(zone.size()), nullptr, -1, &status);
    if (U_FAILURE(status))
        return {};
    UChar buffer[256];
    const int32_t length = udat_format(format, UDate(date.toMSecsSinceEpoch()), buffer,
                                       int32_t(std::size(buffer)), nullptr, &status);
    udat_close(format);
    if (U_FAILURE(status) || length <= 0 || length > int32_t(std::size(buffer)))
        return {};
    return QString(reinterpret_cast<const QChar*>(buffer), length);
}
} // namespace

QString lastCheckedCaption(const QDateTime& date, const QLocale& locale) {
    QString when = fullDateShortTime(date, locale);
    if (when.isEmpty()) {
        const QString pattern =
            locale.dateFormat(QLocale::LongFormat) + u' ' + locale.timeFormat(QLocale::ShortFormat);
        when = locale.toString(date.toLocalTime(), pattern);
    }
    return L("updates.lastChecked") + QStringLiteral(": ") + when;
}

UpdatesSettingsView::UpdatesSettingsView(PeloraUpdatePreferences& preferences,
                                         VersionCheckService& versionCheck, QWidget* parent)
    : QWidget(parent), preferences_(preferences), versionCheck_(versionCheck),
      automaticSwitch_(new ToggleSwitch),
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
    connect(&versionCheck_, &VersionCheckService::checkFinished, this, [this] {
        setChecking(false);
        refreshLastCheckedText();
        Q_EMIT fitRequested();
    });
    refreshLastCheckedText();
}

void UpdatesSettingsView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refreshLastCheckedText();
}

void UpdatesSettingsView::checkNow() {
    setChecking(true);
    versionCheck_.checkForUpdates(true);
}

void UpdatesSettingsView::setChecking(bool checking) {
    isChecking_ = checking;
    checkNowButton_->setText(checking ? QString() : L("updates.manual.button"));
    progress_->setVisible(checking);
}

void UpdatesSettingsView::refreshLastCheckedText() {
    const auto date = versionCheck_.lastSuccessfulCheckDate();
    lastCheckedText_ = date ? lastCheckedCaption(*date) : QString();
    manualRow_->setSubtitle(lastCheckedText_);
}
