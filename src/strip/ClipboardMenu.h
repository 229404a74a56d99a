#pragma once

#include "clipboard/ClipboardItem.h"

#include <QIcon>
#include <QImage>
#include <QList>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>
#include <utility>

class ClipboardHistoryService;
class QAction;
class QMenu;
class Workspace;

// The clipboard menu ("Clipboard"): the history grouped by source application, one submenu
// each; an entry pastes its item, the clear item empties the history. Main thread.
class ClipboardMenu : public QObject {
    Q_OBJECT
public:
    ClipboardMenu(Workspace& workspace, ClipboardHistoryService& history,
                  QObject* parent = nullptr);

    // A new menu from the history as it is now; the caller owns it.
    std::unique_ptr<QMenu> makeClipboardMenu();

private:
    void pasteClipboardItem(const QAction& entry);
    void clearClipboardHistory();

    Workspace& workspace_;
    ClipboardHistoryService& history_;
};

// The entries of one source application in the clipboard menu, built for one menu only.
struct ClipboardMenuGroup {
    QString key;               // bundle identifier, else application name, else "__other__"
    QString title;             // the first item's application name, else otherTitle
    std::optional<QIcon> icon; // the first item's application icon
    QList<std::pair<int, ClipboardItem>> entries; // each with its index in the history

    static inline const QString otherKey = QStringLiteral("__other__");
};

// One pass over the history: groups in the order their first item occurs, entries in history
// order. Title and icon come from the group's first item only.
QList<ClipboardMenuGroup> groupClipboardItems(const QList<ClipboardItem>& items,
                                              const QString& otherTitle);

// The size of a file entry's icon.
inline constexpr int clipboardFileIconSize = 32;

// The history index a clipboard entry carries; none for any other item.
std::optional<int> clipboardItemTag(const QAction& entry);
