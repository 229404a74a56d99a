#pragma once

#include "platform/Screens.h"

// The screens Qt knows, main (primary) screen first, in the program's bottom-left coordinates.
class QtScreens : public Screens {
public:
    QList<ScreenInfo> screens() const override;
    std::optional<ScreenInfo> mainScreen() const override;
};
