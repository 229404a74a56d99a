#pragma once

#include "StripTestServices.h"
#include "strip/MenuEntryOpener.h"
#include "strip/ModuleMenuItems.h"
#include "support/MenuText.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

// The strip's menus over real files in a temporary folder, the operating system faked around
// them. Text files open with a "Text Editor"; the activation history runs on the test's clock.
class ModuleMenusTest : public ::testing::Test, protected StripTestServices {
protected:
    ModuleMenusTest() {
        fakes.workspace->setDefaultApplication("txt", QUrl::fromLocalFile(editor));
        fakes.fileSystem->displayNames.insert(editor, "Text Editor");
        applications.setClock([this] { return clock; });
    }
    ~ModuleMenusTest() override { drainEvents(); }

    QUrl url(const QString& relative) const { return tree.url(relative); }
    QString menu(StripModule module) { return menuText(*controller->menuForModule(module)); }
    static QAction* itemTitled(const QMenu& menu, const QString& title) {
        for (QAction* a : menu.actions()) {
            if (displayedMenuText(a->text()) == title)
                return a;
            if (QAction* inner = a->menu() ? itemTitled(*a->menu(), title) : nullptr)
                return inner;
        }
        return nullptr;
    }
    void choose(const QMenu& menu, const QString& title) {
        QAction* item = itemTitled(menu, title);
        ASSERT_NE(item, nullptr) << qPrintable(title);
        item->trigger();
    }
    template <class Service> QStringList recorded(Service& service) {
        QStringList paths;
        for (const auto& r : service.loadPersistedRecords())
            paths << r.path;
        return paths;
    }
    // Each added a millisecond after the one before: the menus list the newest first.
    void addFavorites(FavoritesCategory category, std::initializer_list<const char*> entries) {
        for (const char* entry : entries) {
            favorites.store(category).add(QUrl::fromLocalFile(tree.add(entry)));
            const qint64 added = QDateTime::currentMSecsSinceEpoch();
            waitUntil([added] { return QDateTime::currentMSecsSinceEpoch() > added; });
        }
    }
    // A running application with a desktop entry on disk, its bundle.
    RunningApplication app(const QString& name, const QString& id, bool regular = true) {
        const QString entry = tree.add((id.isEmpty() ? name : id) + ".desktop",
                                       "[Desktop Entry]\nType=Application\nName=X\nExec=true\n");
        return makeRunningApplication(name, id, entry, regular);
    }
    void activateAt(int minute, const RunningApplication& a) {
        clock = start.addSecs(60 * minute);
        fakes.running->bringToFront(a);
    }
    // The user answers the access panel with choice (none: cancels) when opening target.
    void askForAccess(const QString& target, const std::optional<QString>& choice,
                      OpenTargetKind kind = OpenTargetKind::document) {
        fakes.defaults->removeObject(RecentAccessService::storageKey.key());
        fakes.dialogs->panelAnswers.enqueue(choice ? std::optional(QList<QUrl>{url(*choice)})
                                                   : std::nullopt);
        opener.openRecentTarget(url(target), kind);
    }
    // Another program copies while app is in front; the history notices on its next tick.
    void copyFrom(const std::optional<RunningApplication>& app, const PasteboardContents& what) {
        fakes.running->frontmost = app;
        fakes.pasteboard->copy(what);
        clipboard.checkPasteboard();
        ASSERT_TRUE(waitUntil([&] { return !clipboard.isCapturing(); }));
    }

    TempTree tree;
    QString editor = tree.add("apps/editor.desktop");
    const QDateTime start = QDateTime(QDate(2024, 5, 1), QTime(12, 0), Qt::UTC);
    QDateTime clock = start;
    MenuEntryOpener opener{s.fileSystem(), s.bookmarks(), s.runningApplications(),
                           s.workspace(),  s.dialogs(),   access,
                           documents,      folders};
};
