#include "settings/ShortcutsSettingsSection.h"

#include "common/Texts.h"
#include "platform/GlobalShortcuts.h"
#include "platform/UserDefaults.h"
#include "settings/SettingsWidgets.h"
#include "strip/ModuleShortcuts.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeySequenceEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
struct ModuleRow {
    StripModule module;
    const char* titleKey;
};
// In the strip's order of buttons.
constexpr ModuleRow moduleRows[] = {
    {StripModule::documents, QT_TRID_NOOP("strip.menuBar.documents")},
    {StripModule::folders, QT_TRID_NOOP("strip.menuBar.folders")},
    {StripModule::applications, QT_TRID_NOOP("strip.menuBar.apps")},
    {StripModule::clipboard, QT_TRID_NOOP("strip.menuBar.clipboard")},
    {StripModule::windows, QT_TRID_NOOP("strip.menu.openApps")},
};
} // namespace

ShortcutsSettingsSection::ShortcutsSettingsSection(UserDefaults& defaults,
                                                   GlobalShortcuts& shortcuts, QString program,
                                                   QWidget* parent)
    : QWidget(parent), defaults_(defaults), shortcuts_(shortcuts), program_(std::move(program)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* section = new SettingsSection(L("settings.shortcuts.section"));
    layout->addWidget(section);

    for (const ModuleRow& each : moduleRows) {
        const StripModule module = each.module;
        auto* recorder = new QKeySequenceEdit;
        recorder->setAccessibleName(L(each.titleKey));
        recorder->setMinimumWidth(140);
        auto* clear = new QToolButton;
        clear->setText(L("settings.shortcuts.clear"));
        clear->setAccessibleName(L("settings.shortcuts.clear"));
        auto* accessory = new QWidget;
        auto* accessoryLayout = new QHBoxLayout(accessory);
        accessoryLayout->setContentsMargins(0, 0, 0, 0);
        accessoryLayout->addWidget(recorder);
        accessoryLayout->addWidget(clear);
        auto* row = new SettingsRow(L(each.titleKey), QString(), accessory);
        section->addRow(row);
        recorders_.insert(module, recorder);
        rows_.insert(module, row);

        recorder->installEventFilter(this);
        connect(clear, &QToolButton::clicked, this,
                [this, module] { ModuleShortcuts::write(defaults_, module, {}); });
    }
    connect(&defaults_, &UserDefaults::valueChanged, this, [this](const QString& key) {
        if (key == QLatin1String(ModuleShortcuts::key))
            showStoredShortcuts();
    });
    connect(&shortcuts_, &GlobalShortcuts::stateChanged, this,
            &ShortcutsSettingsSection::updateCaptions);
    showStoredShortcuts();
}

bool ShortcutsSettingsSection::eventFilter(QObject* watched, QEvent* event) {
    // One key combination is a shortcut: recording ends as its key is released, not a
    // second later as a recorder of sequences would.
    if (event->type() != QEvent::KeyRelease)
        return false;
    for (auto [module, recorder] : recorders_.asKeyValueRange()) {
        if (recorder != watched || recorder->keySequence().isEmpty())
            continue;
        const QKeySequence shortcut(recorder->keySequence()[0]);
        recorder->clearFocus();
        ModuleShortcuts::write(defaults_, module, shortcut);
        return true;
    }
    return false;
}

void ShortcutsSettingsSection::showStoredShortcuts() {
    const QMap<StripModule, QKeySequence> stored = ModuleShortcuts::read(defaults_);
    for (auto [module, recorder] : recorders_.asKeyValueRange()) {
        const QKeySequence shortcut = stored.value(module);
        if (recorder->keySequence() != shortcut) {
            const QSignalBlocker quiet(recorder);
            recorder->setKeySequence(shortcut);
        }
    }
    updateCaptions();
}

void ShortcutsSettingsSection::updateCaptions() {
    const QMap<StripModule, QKeySequence> stored = ModuleShortcuts::read(defaults_);
    for (auto [module, row] : rows_.asKeyValueRange()) {
        QString caption;
        switch (shortcuts_.state(rawValue(module))) {
        case GlobalShortcuts::State::bound:
            break;
        case GlobalShortcuts::State::heldElsewhere:
            caption = L("settings.shortcuts.heldElsewhere");
            break;
        case GlobalShortcuts::State::manual:
            caption =
                L("settings.shortcuts.manual")
                    .arg(stored.value(module).toString(QKeySequence::NativeText),
                         QStringLiteral("%1 popup --toggle %2").arg(program_, rawValue(module)));
            break;
        }
        row->setSubtitle(caption);
    }
}
