#pragma once

#include <QCollator>
#include <QList>
#include <algorithm>

// A collator for display names: the user's locale, case-insensitive. Under the C locale
// (which compares code points) English rules stand in.
QCollator displayNameCollator();

// History order: newest first; equal dates by display name, ascending.
template <class Record> void sortNewestFirst(QList<Record>& records) {
    const QCollator collator = displayNameCollator();
    std::stable_sort(records.begin(), records.end(), [&](const Record& a, const Record& b) {
        if (a.lastOpenedAt != b.lastOpenedAt)
            return a.lastOpenedAt > b.lastOpenedAt;
        return collator.compare(a.displayName, b.displayName) < 0;
    });
}
