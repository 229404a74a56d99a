#include "common/MenuTypeAhead.h"

#include <QAction>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMenu>

namespace {

// Characters typed this close together extend one prefix.
constexpr qint64 prefixIntervalMs = 1000;

bool isChoosable(const QAction* action) {
    return action->isVisible() && action->isEnabled() && !action->isSeparator();
}

void enableSubmenus(const QMenu& menu) {
    for (QAction* action : menu.actions())
        if (QMenu* submenu = action->menu())
            enableMenuTypeAhead(*submenu);
}

class TypeAheadFilter : public QObject {
public:
    static constexpr char name[] = "menuTypeAhead";

    explicit TypeAheadFilter(QMenu* menu) : QObject(menu), menu_(menu) {
        setObjectName(QLatin1String(name));
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != menu_)
            return false;
        if (event->type() == QEvent::Show) {
            // Submenus are made while the menu is filled, sometimes after it was shown.
            enableSubmenus(*menu_);
            return false;
        }
        if (event->type() == QEvent::KeyPress)
            return keyPressed(*static_cast<QKeyEvent*>(event));
        return false;
    }

private:
    bool keyPressed(const QKeyEvent& key) {
        const QList<QAction*> actions = menu_->actions();
        if (key.key() == Qt::Key_Home || key.key() == Qt::Key_End) {
            const bool first = key.key() == Qt::Key_Home;
            for (qsizetype i = 0; i < actions.size(); ++i) {
                QAction* action = actions.at(first ? i : actions.size() - 1 - i);
                if (isChoosable(action)) {
                    menu_->setActiveAction(action);
                    break;
                }
            }
            return true;
        }
        const Qt::KeyboardModifiers modifiers =
            key.modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
        const QString text = key.text();
        if (modifiers != Qt::NoModifier || text.isEmpty() || !text.at(0).isPrint() ||
            (text.at(0).isSpace() && prefix_.isEmpty()))
            return false;

        if (!typed_.isValid() || typed_.elapsed() > prefixIntervalMs)
            prefix_.clear();
        typed_.start();
        prefix_ += typeAheadKey(text);

        const qsizetype current = actions.indexOf(menu_->activeAction());
        // A growing prefix may still fit the entry it chose; a new one moves on from it.
        const qsizetype start = prefix_.size() > 1 && current >= 0 ? current : current + 1;
        QAction* found = nextMatch(actions, start, prefix_);
        // The same letter again steps through the entries starting with it.
        if (!found && prefix_.size() > 1 && prefix_.count(prefix_.front()) == prefix_.size())
            found = nextMatch(actions, current + 1, prefix_.left(1));
        if (found)
            menu_->setActiveAction(found);
        return true;
    }

    static QAction* nextMatch(const QList<QAction*>& actions, qsizetype start,
                              const QString& prefix) {
        for (qsizetype i = 0; i < actions.size(); ++i) {
            QAction* action = actions.at((start + i) % actions.size());
            if (isChoosable(action) && typeAheadKey(action->text()).startsWith(prefix))
                return action;
        }
        return nullptr;
    }

    QMenu* menu_;
    QString prefix_;
    QElapsedTimer typed_;
};

} // namespace

QString typeAheadKey(const QString& title) {
    QString plain;
    plain.reserve(title.size());
    // "&&" is a literal ampersand; a single one marks a mnemonic.
    for (qsizetype i = 0; i < title.size(); ++i) {
        if (title.at(i) == u'&' && i + 1 < title.size()) {
            if (title.at(i + 1) == u'&')
                plain += u'&';
            ++i;
            if (title.at(i) == u'&')
                continue;
        }
        plain += title.at(i);
    }
    QString folded;
    for (QChar c : plain.normalized(QString::NormalizationForm_KD)) {
        const QChar::Category category = c.category();
        if (category != QChar::Mark_NonSpacing && category != QChar::Mark_SpacingCombining &&
            category != QChar::Mark_Enclosing)
            folded += c;
    }
    return folded.toCaseFolded();
}

void enableMenuTypeAhead(QMenu& menu) {
    // Without a meta-object of its own the filter is found by its name.
    if (menu.findChild<QObject*>(QLatin1String(TypeAheadFilter::name), Qt::FindDirectChildrenOnly))
        return;
    auto* filter = new TypeAheadFilter(&menu);
    menu.installEventFilter(filter);
    enableSubmenus(menu);
}
