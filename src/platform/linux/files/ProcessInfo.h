#pragma once

#include <QByteArray>
#include <QString>

// What /proc tells about another process of the user. Empty answers when the process is gone
// or not readable.
namespace ProcessInfo {

// The program the process runs (/proc/PID/exe), symbolic links resolved.
QString executablePath(qint64 pid);
// One variable of the process's environment as it was started (/proc/PID/environ).
QString environmentValue(qint64 pid, const QByteArray& name);

} // namespace ProcessInfo
