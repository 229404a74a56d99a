#include "platform/linux/wayland/SwayGlobalShortcuts.h"

#include "platform/linux/wayland/SwayIpc.h"

#include <QRegularExpression>

namespace {
QString keysymName(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return QChar(char16_t(key - Qt::Key_A + 'a'));
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return QChar(char16_t(key));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return QStringLiteral("F%1").arg(key - Qt::Key_F1 + 1);
    static const QHash<int, QString> names = {
        {Qt::Key_Space, QStringLiteral("space")},
        {Qt::Key_Return, QStringLiteral("Return")},
        {Qt::Key_Escape, QStringLiteral("Escape")},
        {Qt::Key_Tab, QStringLiteral("Tab")},
        {Qt::Key_Backspace, QStringLiteral("BackSpace")},
        {Qt::Key_Insert, QStringLiteral("Insert")},
        {Qt::Key_Delete, QStringLiteral("Delete")},
        {Qt::Key_Home, QStringLiteral("Home")},
        {Qt::Key_End, QStringLiteral("End")},
        {Qt::Key_Left, QStringLiteral("Left")},
        {Qt::Key_Up, QStringLiteral("Up")},
        {Qt::Key_Right, QStringLiteral("Right")},
        {Qt::Key_Down, QStringLiteral("Down")},
        {Qt::Key_PageUp, QStringLiteral("Prior")},
        {Qt::Key_PageDown, QStringLiteral("Next")},
        {Qt::Key_Print, QStringLiteral("Print")},
        {Qt::Key_Minus, QStringLiteral("minus")},
        {Qt::Key_Equal, QStringLiteral("equal")},
        {Qt::Key_Comma, QStringLiteral("comma")},
        {Qt::Key_Period, QStringLiteral("period")},
        {Qt::Key_Slash, QStringLiteral("slash")},
        {Qt::Key_Semicolon, QStringLiteral("semicolon")},
        {Qt::Key_Apostrophe, QStringLiteral("apostrophe")},
        {Qt::Key_BracketLeft, QStringLiteral("bracketleft")},
        {Qt::Key_BracketRight, QStringLiteral("bracketright")},
        {Qt::Key_Backslash, QStringLiteral("backslash")},
        {Qt::Key_QuoteLeft, QStringLiteral("grave")},
    };
    return names.value(key);
}
} // namespace

SwayGlobalShortcuts::SwayGlobalShortcuts(QString program) : program_(std::move(program)) {}

SwayGlobalShortcuts::~SwayGlobalShortcuts() {
    releaseAll();
}

QString SwayGlobalShortcuts::swayKeyName(const QKeyCombination& combination) {
    const QString key = keysymName(combination.key());
    if (key.isEmpty())
        return {};
    QStringList parts;
    const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
    if (modifiers & Qt::MetaModifier)
        parts << QStringLiteral("Mod4");
    if (modifiers & Qt::ControlModifier)
        parts << QStringLiteral("Ctrl");
    if (modifiers & Qt::AltModifier)
        parts << QStringLiteral("Mod1");
    if (modifiers & Qt::ShiftModifier)
        parts << QStringLiteral("Shift");
    parts << key;
    return parts.join(u'+');
}

QString SwayGlobalShortcuts::bindCommand(const QString& keyName, const QString& program,
                                         const QString& name) {
    // The command passes through sway's parser and then a shell: only plain paths and names,
    // so that nothing in them means anything to either.
    static const QRegularExpression plainPath(QStringLiteral("^[A-Za-z0-9/._+-]+$"));
    static const QRegularExpression plainName(QStringLiteral("^[a-z]+$"));
    if (keyName.isEmpty() || !plainPath.match(program).hasMatch() ||
        !plainName.match(name).hasMatch())
        return {};
    return QStringLiteral("bindsym --no-repeat %1 exec '%2' popup --toggle %3")
        .arg(keyName, program, name);
}

void SwayGlobalShortcuts::releaseAll() {
    QStringList commands;
    for (const QString& key : std::as_const(boundKeys_))
        commands << QStringLiteral("unbindsym %1").arg(key);
    sway_.send(commands);
    boundKeys_.clear();
}

void SwayGlobalShortcuts::setShortcuts(const QMap<QString, QKeySequence>& shortcuts) {
    releaseAll();
    unbound_.clear();
    const quint64 generation = ++generation_;
    for (auto it = shortcuts.cbegin(); it != shortcuts.cend(); ++it) {
        if (it.value().isEmpty())
            continue;
        const QString keyName = swayKeyName(it.value()[0]);
        const QString command = bindCommand(keyName, program_, it.key());
        // Left to the user until sway says the key is bound.
        unbound_ << it.key();
        if (command.isEmpty())
            continue;
        // Released with the others even before sway answers: messages go in order.
        boundKeys_ << keyName;
        // Each binding in a message of its own: the command it binds runs to the line's end.
        sway_.send({command}, this, [this, generation, name = it.key()](const SwayIpc::Reply& r) {
            if (generation != generation_ || !r.allSucceeded())
                return;
            unbound_.removeAll(name);
            Q_EMIT stateChanged();
        });
    }
    Q_EMIT stateChanged();
}

GlobalShortcuts::State SwayGlobalShortcuts::state(const QString& name) const {
    return unbound_.contains(name) ? State::manual : State::bound;
}
