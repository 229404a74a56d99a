#pragma once

#include "platform/linux/wayland/WaylandToplevelApplications.h"

#include <QStringList>

// The listed toplevels, "id app title flags lastActivation" each, as a replay test compares them.
inline QString listedText(const ToplevelList& toplevels) {
    using namespace Qt::Literals::StringLiterals;
    QStringList listed;
    for (const WaylandToplevel& t : toplevels.listed())
        listed << u"%1 %2 %3 %4%5%6 %7"_s.arg(t.id)
                      .arg(t.appId, t.title, t.activated ? u"a"_s : u"-"_s,
                           t.minimized ? u"m"_s : u"-"_s, t.skipTaskbar ? u"s"_s : u"-"_s)
                      .arg(t.lastActivation);
    return listed.join(u", ");
}
