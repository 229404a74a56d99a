#include "settings/GeneralSettingsView.h"

#include "common/StripVisibility.h"
#include "common/Texts.h"
#include "platform/ApplicationsFolders.h"
#include "settings/SettingsWidgets.h"

#include <QHideEvent>
#include <QVBoxLayout>

GeneralSettingsView::GeneralSettingsView(Bundle& bundle, UserDefaults& defaults,
                                         LoginItems& loginItems, QWidget* parent)
    : QWidget(parent), bundle_(bundle), defaults_(defaults), loginItems_(loginItems),
      loginSwitch_(new ToggleSwitch), stripSwitch_(new ToggleSwitch) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(18);

    loginSwitch_->setAccessibleName(L("settings.launchAtLogin.title"));
    loginRow_ = new SettingsRow(L("settings.launchAtLogin.title"),
                                L("settings.launchAtLogin.subtitle"), loginSwitch_);
    auto* loginSection = new SettingsSection(L("settings.launchAtLogin.section"));
    loginSection->addRow(loginRow_);
    layout->addWidget(loginSection);

    stripSwitch_->setAccessibleName(L("strip.menuBar.showStrip"));
    stripRow_ = new SettingsRow(L("strip.menuBar.showStrip"), L("settings.showStrip.subtitle"),
                                stripSwitch_);
    auto* stripSection = new SettingsSection(L("settings.showStrip.section"));
    stripSection->addRow(stripRow_);
    layout->addWidget(stripSection);
    layout->addStretch(1);

    // clicked, not toggled: only the user's flips are requests; the code sets the real state.
    connect(loginSwitch_, &ToggleSwitch::clicked, this, [this](bool on) { setOpensAtLogin(on); });
    connect(stripSwitch_, &ToggleSwitch::clicked, this, [this](bool on) { setShowsStrip(on); });
    connect(&defaults_, &UserDefaults::valueChanged, this, [this](const QString& key) {
        if (key == stripVisibleKey.key()) {
            showsStrip_ = isStripVisible(defaults_);
            stripSwitch_->setChecked(showsStrip_);
        }
    });
    updateLaunchAtLoginRow();
}

GeneralSettingsView::~GeneralSettingsView() = default;

void GeneralSettingsView::addSection(QWidget* section) {
    auto* box = static_cast<QVBoxLayout*>(layout());
    // Above the stretch that keeps the groups at the top.
    box->insertWidget(box->count() - 1, section);
}

void GeneralSettingsView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // Closing the window ends this showing of the tab: reopened, it starts afresh from the
    // service. Switching to the other tab or minimizing keeps the message.
    if (!event->spontaneous() && !window()->isVisible() && !failureMessage_.isEmpty()) {
        failureMessage_.clear();
        updateLaunchAtLoginRow();
        Q_EMIT fitRequested();
    }
}

void GeneralSettingsView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refreshLaunchAtLoginState();
    showsStrip_ = isStripVisible(defaults_);
    stripSwitch_->setChecked(showsStrip_);
}

void GeneralSettingsView::refreshLaunchAtLoginState() {
    const LoginItemStatus status = loginItems_.status();
    const bool approval = status == LoginItemStatus::requiresApproval;
    const bool changed = approval != needsApproval_;
    opensAtLogin_ = status == LoginItemStatus::enabled || approval;
    needsApproval_ = approval;
    updateLaunchAtLoginRow();
    if (changed)
        Q_EMIT fitRequested();
}

std::optional<LoginItemError> GeneralSettingsView::applyLaunchAtLogin(bool on) {
    LoginItems& items = loginItems_;
    const LoginItemStatus status = items.status();
    const bool registered =
        status == LoginItemStatus::enabled || status == LoginItemStatus::requiresApproval;
    if (on == registered)
        return std::nullopt;
    return on ? items.registerLoginItem() : items.unregisterLoginItem();
}

void GeneralSettingsView::setOpensAtLogin(bool on) {
    const QString previous = failureMessage_;
    failureMessage_ = applyLaunchAtLogin(on) ? launchAtLoginFailureMessage() : QString();
    if (failureMessage_ != previous)
        Q_EMIT fitRequested();
    // The switch shows what the service reports, not what was asked.
    refreshLaunchAtLoginState();
}

QString GeneralSettingsView::launchAtLoginFailureMessage() const {
    return isInstalledInApplicationsFolder() ? L("settings.launchAtLogin.failed")
                                             : L("alertMustBeInApplicationsFolderMessage");
}

bool GeneralSettingsView::isInstalledInApplicationsFolder() const {
    return isInApplicationsFolder(bundle_);
}

void GeneralSettingsView::setShowsStrip(bool on) {
    showsStrip_ = on;
    stripSwitch_->setChecked(on);
    // The write itself tells the tray, which shows or hides the strip.
    stripVisibleKey.write(defaults_, on);
}

QString GeneralSettingsView::launchAtLoginSubtitle() const {
    if (!failureMessage_.isEmpty())
        return failureMessage_;
    if (needsApproval_)
        return L("settings.launchAtLogin.approval");
    return L("settings.launchAtLogin.subtitle");
}

void GeneralSettingsView::updateLaunchAtLoginRow() {
    loginSwitch_->setChecked(opensAtLogin_);
    loginRow_->setSubtitle(launchAtLoginSubtitle());
}
