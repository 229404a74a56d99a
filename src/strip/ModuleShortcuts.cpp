#include "strip/ModuleShortcuts.h"

#include "platform/UserDefaults.h"

namespace ModuleShortcuts {

QKeySequence defaultShortcut(StripModule module) {
    if (module == StripModule::clipboard)
        return QKeySequence(Qt::MetaModifier | Qt::ShiftModifier | Qt::Key_V);
    return {};
}

QMap<StripModule, QKeySequence> read(const UserDefaults& defaults) {
    const std::optional<QVariant> stored = defaults.objectForKey(QLatin1String(key));
    const bool useDefaults = !stored || !variantIsDictionary(*stored);
    const QVariantMap entries = useDefaults ? QVariantMap() : stored->toMap();
    QMap<StripModule, QKeySequence> shortcuts;
    for (StripModule module : stripModuleAllCases) {
        if (!hasButton(module))
            continue;
        QKeySequence shortcut = defaultShortcut(module);
        if (!useDefaults) {
            const QVariant entry = entries.value(rawValue(module));
            shortcut = variantIsString(entry)
                           ? QKeySequence::fromString(entry.toString(), QKeySequence::PortableText)
                           : QKeySequence();
        }
        // One combination: a sequence of several keys is no global shortcut.
        if (!shortcut.isEmpty() && shortcut[0].key() != Qt::Key_unknown)
            shortcuts.insert(module, QKeySequence(shortcut[0]));
    }
    return shortcuts;
}

void write(UserDefaults& defaults, StripModule module, const QKeySequence& shortcut) {
    QVariantMap entries;
    const QMap<StripModule, QKeySequence> current = read(defaults);
    for (auto [each, sequence] : current.asKeyValueRange())
        entries.insert(rawValue(each), sequence.toString(QKeySequence::PortableText));
    entries.insert(rawValue(module),
                   shortcut.isEmpty()
                       ? QString()
                       : QKeySequence(shortcut[0]).toString(QKeySequence::PortableText));
    defaults.setObject(QLatin1String(key), entries);
}

std::optional<StripModule> moduleForKey(const QMap<StripModule, QKeySequence>& shortcuts,
                                        QKeyCombination pressed) {
    // The keypad flag says where the key is, not which.
    const QKeyCombination plain(pressed.keyboardModifiers() & ~Qt::KeypadModifier, pressed.key());
    for (auto [module, sequence] : shortcuts.asKeyValueRange())
        if (sequence[0] == plain)
            return module;
    return std::nullopt;
}

} // namespace ModuleShortcuts
