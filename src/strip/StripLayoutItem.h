#pragma once

#include "platform/UserDefaults.h"
#include "strip/StripModule.h"

#include <QList>
#include <QPointF>
#include <QString>
#include <optional>

// One entry of the strip's fixed layout: a module button or a named divider.
class StripLayoutItem {
public:
    static StripLayoutItem moduleItem(StripModule module) { return StripLayoutItem(module, {}); }
    static StripLayoutItem dividerItem(const QString& name) { return StripLayoutItem({}, name); }

    // The module of a module item; empty for a divider.
    std::optional<StripModule> module() const { return module_; }
    bool isDivider() const { return !module_; }
    // Unique within stripLayout(): the module's raw value, or the divider's name.
    QString id() const { return module_ ? rawValue(*module_) : dividerName_; }

    friend bool operator==(const StripLayoutItem&, const StripLayoutItem&) = default;

private:
    StripLayoutItem(std::optional<StripModule> module, const QString& dividerName)
        : module_(module), dividerName_(dividerName) {}

    std::optional<StripModule> module_;
    QString dividerName_;
};

inline QString id(const StripLayoutItem& item) {
    return item.id();
}

// The seven items between the drag handle and the settings button, leading end first.
const QList<StripLayoutItem>& stripLayout();

// "horizontal" selects the horizontal strip; anything else, or nothing, the vertical one.
// Written only from outside the program.
extern const DefaultsKey<QString> stripOrientationKey;

bool isHorizontalOrientationValue(const QString& orientation);
bool isHorizontalOrientation(const UserDefaults& defaults);

// Where a module's menu is anchored, in the strip's content from its top-left corner (y
// downward): the middle of the module's button. Fixed numbers of the strip's geometry; no
// point for modules without a button.
std::optional<QPointF> moduleAnchor(StripModule module, const UserDefaults& defaults);
