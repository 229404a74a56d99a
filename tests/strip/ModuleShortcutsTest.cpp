#include "strip/ModuleShortcuts.h"
#include "support/QtPrinters.h"

#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

TEST(ModuleShortcuts, StoredDictionaryOverridesTheDefaultAndBadEntriesMeanNone) {
    using M = StripModule;
    const QKeySequence metaShiftV(QStringLiteral("Meta+Shift+V"));
    const struct {
        std::optional<QVariant> stored;
        QMap<M, QKeySequence> expected;
    } cases[] = {
        {std::nullopt, {{M::clipboard, metaShiftV}}},
        {QStringLiteral("not a dictionary"), {{M::clipboard, metaShiftV}}},
        // An entry missing or empty means none, the clipboard's too.
        {QVariantMap{{"documents", "Ctrl+Alt+D"}, {"folders", ""}},
         {{M::documents, QKeySequence(QStringLiteral("Ctrl+Alt+D"))}}},
        // Not a string, not a key, a sequence of two keys (its first counts), a module
        // without a button.
        {QVariantMap{{"documents", 42},
                     {"folders", "Ctrl+Nonsense"},
                     {"windows", "Ctrl+K, Ctrl+W"},
                     {"tasks", "Ctrl+T"}},
         {{M::windows, QKeySequence(QStringLiteral("Ctrl+K"))}}},
    };
    for (const auto& c : cases) {
        InMemoryUserDefaults defaults;
        if (c.stored)
            defaults.setObject(QLatin1String(ModuleShortcuts::key), *c.stored);
        EXPECT_EQ(ModuleShortcuts::read(defaults), c.expected)
            << (c.stored ? c.stored->toString().toStdString() : "absent");
    }
}

TEST(ModuleShortcuts, WritingOneKeepsTheOthersAndAClearedDefaultStaysCleared) {
    InMemoryUserDefaults defaults;
    ModuleShortcuts::write(defaults, StripModule::folders, QKeySequence(QStringLiteral("Alt+F2")));
    ModuleShortcuts::write(defaults, StripModule::clipboard, {});
    const auto shortcuts = ModuleShortcuts::read(defaults);
    EXPECT_EQ(shortcuts.keys(), QList<StripModule>{StripModule::folders});
    // A key press on the keypad is the same key.
    EXPECT_EQ(ModuleShortcuts::moduleForKey(
                  shortcuts, QKeyCombination(Qt::AltModifier | Qt::KeypadModifier, Qt::Key_F2)),
              StripModule::folders);
    EXPECT_EQ(ModuleShortcuts::moduleForKey(shortcuts, QKeyCombination(Qt::Key_F2)), std::nullopt);
}
