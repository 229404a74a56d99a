#pragma once

#include "strip/StripModule.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <optional>

class Bundle;
class QTextStream;

// "pelora COMMAND ...": the commands a user or a script gives the running instance, and the
// program's own tools. Parsed without any application object, so a bad line costs nothing.
enum class CommandKind {
    start, // no command: the program itself (Qt's own "-option"s are left to Qt)
    invalid,
    help,
    version,
    defaults, // "pelora defaults ...", run in this process
    popup,
    menu,
    strip,
    settings,
    about,
    checkUpdates,
    quit,
};

enum class StripAction { show, hide, toggle };

struct CommandLineRequest {
    CommandKind kind = CommandKind::start;
    std::optional<StripModule> module; // popup, menu
    StripAction stripAction = StripAction::show;
    bool json = false;     // menu --json
    bool toggle = false;   // popup --toggle
    QStringList arguments; // defaults: everything after the word
    QString error;         // invalid: what is wrong, for the user
};

// Exit statuses of the command line.
inline constexpr int exitSuccess = 0;
inline constexpr int exitFailure = 1; // the instance refused or did not answer
inline constexpr int exitUsage = 2;
inline constexpr int exitNoInstance = 3;

// arguments: without the program's name.
CommandLineRequest parseCommandLine(const QStringList& arguments);
QString usageText();
// "Pelora 1.2 (34)" from the bundle's info dictionary.
QString versionText(const Bundle& bundle);

// The message a command sends to the running instance; empty for the kinds run locally.
QJsonObject instanceRequest(const CommandLineRequest& request);
// Sends a command to the instance at socketPath, prints what it answered, and returns the exit
// status.
int runInstanceCommand(const CommandLineRequest& request, const QString& socketPath,
                       QTextStream& out, QTextStream& err, int timeoutMs = 10000);

// Everything main() does before the application starts: runs the command or tool the arguments
// name and returns its exit status, or nothing when the arguments start the program itself.
// Needs no display.
std::optional<int> runCommandLine(int& argc, char** argv);
