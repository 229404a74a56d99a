#include "strip/ClipboardMenu.h"

#include "clipboard/ClipboardHistoryService.h"
#include "common/Texts.h"
#include "platform/Workspace.h"
#include "strip/MenuIcons.h"
#include "strip/ModuleMenuItems.h"

#include <QAction>
#include <QHash>
#include <QMenu>
#include <QPixmap>
#include <QtMath>
#include <algorithm>

namespace {

constexpr int kGroupIconSize = 16;

// The preview of a picture or a file list, and the side it takes in points; none for text.
// A picture's thumbnail was made when it was copied: nothing is decoded here.
std::pair<QIcon, int> previewImage(const ClipboardItem& item, Workspace& workspace) {
    if (const auto* image = std::get_if<ClipboardImage>(&item.content)) {
        if (image->thumbnail.isNull())
            return {};
        const QSizeF shown = image->thumbnail.deviceIndependentSize();
        const QIcon icon = image->thumbnailIcon.isNull()
                               ? QIcon(QPixmap::fromImage(image->thumbnail))
                               : image->thumbnailIcon;
        return {icon, qCeil(std::max(shown.width(), shown.height()))};
    }
    if (const auto* files = std::get_if<ClipboardFiles>(&item.content)) {
        if (files->urls.isEmpty())
            return {};
        return {menuIconAtSize(workspace.iconForFile(files->urls.first().toLocalFile()),
                               clipboardFileIconSize),
                clipboardFileIconSize};
    }
    return {};
}

} // namespace

QList<ClipboardMenuGroup> groupClipboardItems(const QList<ClipboardItem>& items,
                                              const QString& otherTitle) {
    QList<ClipboardMenuGroup> groups;
    QHash<QString, qsizetype> positions;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const ClipboardItem& item = items[i];
        const QString key = item.sourceBundleIdentifier.value_or(
            item.sourceAppName.value_or(ClipboardMenuGroup::otherKey));
        const auto found = positions.constFind(key);
        if (found != positions.constEnd()) {
            groups[*found].entries.append({int(i), item});
            continue;
        }
        ClipboardMenuGroup group;
        group.key = key;
        group.title = item.sourceAppName.value_or(otherTitle);
        if (item.sourceAppIcon)
            group.icon = menuIconAtSize(*item.sourceAppIcon, kGroupIconSize);
        group.entries.append({int(i), item});
        positions.insert(key, groups.size());
        groups.append(std::move(group));
    }
    return groups;
}

std::optional<int> clipboardItemTag(const QAction& entry) {
    const QVariant tag = entry.data();
    if (tag.metaType() != QMetaType::fromType<int>())
        return std::nullopt;
    return tag.toInt();
}

ClipboardMenu::ClipboardMenu(Workspace& workspace, ClipboardHistoryService& history,
                             QObject* parent)
    : QObject(parent), workspace_(workspace), history_(history) {}

std::unique_ptr<QMenu> ClipboardMenu::makeClipboardMenu() {
    using namespace ModuleMenuItems;
    const QList<ClipboardItem> items = history_.items();

    std::unique_ptr<QMenu> menu(makeMenu(clipboardTitle));
    addHeaderItem(*menu, L("strip.menu.recentClipboard"));
    if (items.isEmpty()) {
        addEmptyStateItem(*menu, L("strip.emptyState.noClipboardItems"));
        return menu;
    }

    for (const ClipboardMenuGroup& group :
         groupClipboardItems(items, L("strip.clipboard.otherSource"))) {
        QMenu* submenu = addSubmenuItem(*menu, group.title, group.icon.value_or(QIcon()));
        int largestSide = 0;
        for (const auto& [index, item] : group.entries) {
            const auto [preview, side] = previewImage(item, workspace_);
            largestSide = std::max(largestSide, side);
            // The tag is the index in the history: the paste looks the item up when chosen.
            QAction* entry = addEntryItem(*submenu, history_.displayTitle(item), preview);
            entry->setData(index);
            connect(entry, &QAction::triggered, this,
                    [this, entry] { pasteClipboardItem(*entry); });
        }
        // A picture is not shrunk to a 16-point speck.
        setMenuIconSize(*submenu, largestSide);
    }
    menu->addSeparator();
    addClearItem(*menu, this, [this] { clearClipboardHistory(); });
    return menu;
}

void ClipboardMenu::pasteClipboardItem(const QAction& entry) {
    const std::optional<int> tag = clipboardItemTag(entry);
    if (!tag)
        return;
    // The history now, not as the menu saw it: it may have shrunk since.
    const QList<ClipboardItem> items = history_.items();
    if (*tag >= 0 && *tag < items.size())
        history_.paste(items[*tag]);
}

void ClipboardMenu::clearClipboardHistory() {
    history_.setItems({});
}
