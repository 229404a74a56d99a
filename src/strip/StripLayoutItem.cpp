#include "strip/StripLayoutItem.h"

#include <algorithm>
#include <iterator>
#include <utility>

const DefaultsKey<QString> stripOrientationKey{"stripOrientation", QStringLiteral("vertical")};

const QList<StripLayoutItem>& stripLayout() {
    static const QList<StripLayoutItem> layout{
        StripLayoutItem::moduleItem(StripModule::applications),
        StripLayoutItem::moduleItem(StripModule::folders),
        StripLayoutItem::moduleItem(StripModule::documents),
        StripLayoutItem::dividerItem(QStringLiteral("favorites-divider")),
        StripLayoutItem::moduleItem(StripModule::clipboard),
        StripLayoutItem::moduleItem(StripModule::windows),
        StripLayoutItem::dividerItem(QStringLiteral("settings-divider")),
    };
    return layout;
}

bool isHorizontalOrientationValue(const QString& orientation) {
    return orientation == u"horizontal";
}

bool isHorizontalOrientation(const UserDefaults& defaults) {
    // A stored value of another type reads as the default, that is vertical.
    return isHorizontalOrientationValue(stripOrientationKey.read(defaults));
}

std::optional<QPointF> moduleAnchor(StripModule module, const UserDefaults& defaults) {
    // 8 padding + 22 handle + 4 gap + 14 half a button = 48, then 32 per button, and 5 more
    // (a divider and its gap) before the clipboard.
    static constexpr std::pair<StripModule, qreal> offsets[] = {
        {StripModule::applications, 48}, {StripModule::folders, 80},  {StripModule::documents, 112},
        {StripModule::clipboard, 149},   {StripModule::windows, 181},
    };
    const auto* found = std::find_if(std::begin(offsets), std::end(offsets),
                                     [module](const auto& entry) { return entry.first == module; });
    if (found == std::end(offsets))
        return std::nullopt; // modules the strip has no button for
    const qreal offset = found->second;
    if (isHorizontalOrientation(defaults))
        return QPointF(offset, 16);
    return QPointF(16, offset);
}
