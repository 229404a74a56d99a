#pragma once

class QMenu;
class QString;

// Lets a menu be typed into: typed characters select the next enabled entry whose title starts
// with them (case and accents ignored), characters typed within a second forming one prefix;
// Home and End go to the first and last entry. Applies to the menu's submenus too, also those
// added later. Return chooses, as in any menu.
void enableMenuTypeAhead(QMenu& menu);

// An entry title as typed search compares it: without mnemonic markers, accents or case.
QString typeAheadKey(const QString& title);
