#pragma once

#include <QString>

class Bundle;

// What the About window and the main menu show about the program, read from the bundle's info
// dictionary with fixed fallbacks, so a damaged Info.json still gives a usable window.
struct ApplicationInfo {
    QString name;
    QString shortVersion;
    QString build;
    QString copyright;
    QString iconName; // empty when the bundle names no icon
    // Whether the short version came from the bundle rather than the fallback.
    bool hasShortVersion = false;

    static ApplicationInfo read(const Bundle& bundle);
};
