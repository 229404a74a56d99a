#pragma once

#include <QStringList>
#include <QVariant>

class QTextStream;
class UserDefaults;

// `pelora defaults read|write|delete ...`: the user defaults from a terminal. args are the words
// after "defaults". Returns the exit status: 0 done, 1 no such key or the change was not saved,
// 2 bad usage (with the usage text on err).
int runDefaultsTool(const QStringList& args, UserDefaults& defaults, QTextStream& out,
                    QTextStream& err);

// A value as `read` prints it: its type, then its value; arrays and dictionaries continue on
// lines indented one level deeper than indent.
QString describeDefaultsValue(const QVariant& value, int indent = 0);
