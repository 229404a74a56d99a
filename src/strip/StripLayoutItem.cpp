#include "strip/StripLayoutItem.h"

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
    qreal offset = 0;
    switch (module) {
    case StripModule::applications:
        offset = 48;
        break;
    case StripModule::folders:
        offset = 80;
        break;
    case StripModule::documents:
        offset = 112;
        break;
    case StripModule::clipboard:
        offset = 149;
        break;
    case StripModule::windows:
        offset = 181;
        break;
    case StripModule::shortcuts:
    case StripModule::websites:
    case StripModule::tasks:
        return std::nullopt;
    }
    if (isHorizontalOrientation(defaults))
        return QPointF(offset, 16);
    return QPointF(16, offset);
}
