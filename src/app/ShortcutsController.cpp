#include "app/ShortcutsController.h"

#include "platform/GlobalShortcuts.h"
#include "platform/UserDefaults.h"
#include "strip/ModuleShortcuts.h"
#include "strip/StripWindowController.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>

ShortcutsController::ShortcutsController(UserDefaults& defaults, GlobalShortcuts& shortcuts,
                                         StripWindowController& strip, QObject* parent)
    : QObject(parent), defaults_(defaults), shortcuts_(shortcuts), strip_(strip) {
    connect(&defaults_, &UserDefaults::valueChanged, this, [this](const QString& key) {
        if (key == QLatin1String(ModuleShortcuts::key))
            bind();
    });
    connect(&shortcuts_, &GlobalShortcuts::activated, this, [this](const QString& name) {
        if (const std::optional<StripModule> module = stripModuleFromRawValue(name))
            strip_.popUpModuleMenu(*module, true);
    });
    QCoreApplication::instance()->installEventFilter(this);
    bind();
}

ShortcutsController::~ShortcutsController() {
    shortcuts_.setShortcuts({});
}

void ShortcutsController::bind() {
    const QMap<StripModule, QKeySequence> shortcuts = ModuleShortcuts::read(defaults_);
    if (shortcuts == bound_ && !bound_.isEmpty())
        return;
    bound_ = shortcuts;
    QMap<QString, QKeySequence> named;
    for (auto [module, sequence] : bound_.asKeyValueRange())
        named.insert(rawValue(module), sequence);
    shortcuts_.setShortcuts(named);
}

bool ShortcutsController::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !qobject_cast<QMenu*>(watched))
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    // A menu closes on Alt alone; pressed as the start of a shortcut, it must not.
    if (key->key() == Qt::Key_Alt) {
        for (const QKeySequence& sequence : std::as_const(bound_))
            if (sequence[0].keyboardModifiers() & Qt::AltModifier)
                return true;
        return false;
    }
    const std::optional<StripModule> module =
        ModuleShortcuts::moduleForKey(bound_, key->keyCombination());
    if (!module)
        return false;
    strip_.popUpModuleMenu(*module, true);
    return true;
}
