#include "app/CommandLine.h"

#include "app/DefaultsTool.h"
#include "app/InstanceClient.h"
#include "app/InstanceProtocol.h"
#include "common/MenuJson.h"
#include "platform/Bundle.h"
#include "platform/linux/LinuxBundle.h"
#include "platform/linux/files/CborUserDefaults.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QTextStream>
#include <cstdio>

namespace P = InstanceProtocol;

namespace {
struct CommandName {
    const char* word;
    CommandKind kind;
};
constexpr CommandName kCommands[] = {
    {"popup", CommandKind::popup}, {"menu", CommandKind::menu},
    {"strip", CommandKind::strip}, {"settings", CommandKind::settings},
    {"about", CommandKind::about}, {"check-updates", CommandKind::checkUpdates},
    {"quit", CommandKind::quit},   {"defaults", CommandKind::defaults},
    {"help", CommandKind::help},
};

QString moduleChoices() {
    QStringList names;
    for (StripModule module : stripModuleAllCases)
        if (hasButton(module))
            names << rawValue(module);
    return names.join(QStringLiteral(", "));
}

CommandLineRequest invalid(const QString& message) {
    CommandLineRequest request;
    request.kind = CommandKind::invalid;
    request.error = message;
    return request;
}

// A module named on the command line: one of those with a button on the strip.
std::optional<StripModule> parseModule(const QString& command, const QStringList& words,
                                       QString& error) {
    if (words.isEmpty()) {
        error = QStringLiteral("pelora %1: which module? One of %2").arg(command, moduleChoices());
        return std::nullopt;
    }
    if (words.size() > 1) {
        error =
            QStringLiteral("pelora %1: one module only, not \"%2\"").arg(command, words.join(u' '));
        return std::nullopt;
    }
    const std::optional<StripModule> module = stripModuleFromRawValue(words.first());
    if (!module) {
        error = QStringLiteral("pelora %1: unknown module \"%2\"; one of %3")
                    .arg(command, words.first(), moduleChoices());
        return std::nullopt;
    }
    if (!hasButton(*module)) {
        error = QStringLiteral("pelora %1: the module \"%2\" has no button on the strip and no "
                               "menu; one of %3")
                    .arg(command, words.first(), moduleChoices());
        return std::nullopt;
    }
    return module;
}
} // namespace

CommandLineRequest parseCommandLine(const QStringList& arguments) {
    CommandLineRequest request;
    if (arguments.isEmpty())
        return request;
    const QString first = arguments.first();
    if (first == QLatin1String("--help") || first == QLatin1String("-h")) {
        request.kind = CommandKind::help;
        return request;
    }
    if (first == QLatin1String("--version") || first == QLatin1String("-v")) {
        request.kind = CommandKind::version;
        return request;
    }
    if (first.startsWith(QLatin1String("--")))
        return invalid(QStringLiteral("pelora: unknown option \"%1\"").arg(first));
    // "-platform xcb", "-session ID" (session restore) and the like belong to Qt.
    if (first.startsWith(u'-'))
        return request;

    const CommandName* name = nullptr;
    for (const CommandName& candidate : kCommands)
        if (first == QLatin1String(candidate.word))
            name = &candidate;
    if (!name)
        return invalid(QStringLiteral("pelora: unknown command \"%1\"").arg(first));
    request.kind = name->kind;
    QStringList rest = arguments.mid(1);

    if (request.kind == CommandKind::defaults) {
        // The defaults tool reads its own arguments, "--help" included.
        request.arguments = rest;
        return request;
    }
    if (rest.contains(QLatin1String("--help")) || rest.contains(QLatin1String("-h"))) {
        request.kind = CommandKind::help;
        return request;
    }

    QString error;
    switch (request.kind) {
    case CommandKind::popup:
        request.toggle = rest.removeAll(QStringLiteral("--toggle")) > 0;
        request.module = parseModule(first, rest, error);
        break;
    case CommandKind::menu:
        request.json = rest.removeAll(QStringLiteral("--json")) > 0;
        request.module = parseModule(first, rest, error);
        break;
    case CommandKind::strip:
        if (rest.size() == 1 && rest.first() == QLatin1String("show"))
            request.stripAction = StripAction::show;
        else if (rest.size() == 1 && rest.first() == QLatin1String("hide"))
            request.stripAction = StripAction::hide;
        else if (rest.size() == 1 && rest.first() == QLatin1String("toggle"))
            request.stripAction = StripAction::toggle;
        else
            error = QStringLiteral("pelora strip: show, hide or toggle");
        break;
    default:
        if (!rest.isEmpty())
            error = QStringLiteral("pelora %1: takes no arguments, not \"%2\"")
                        .arg(first, rest.join(u' '));
        break;
    }
    return error.isEmpty() ? request : invalid(error);
}

QString usageText() {
    return QStringLiteral(
               "Usage: pelora [COMMAND]\n"
               "\n"
               "Without a command, starts Pelora; if it already runs, brings its strip to the\n"
               "front, or opens its settings while the strip is hidden.\n"
               "The commands are carried out by the running Pelora:\n"
               "\n"
               "  popup MODULE          pop up a module's menu at its strip button (at the\n"
               "                        pointer while the strip is hidden)\n"
               "  popup --toggle MODULE as a keyboard shortcut does: closes the module's menu\n"
               "                        when it is open\n"
               "  menu MODULE [--json]  print the menu that a press would show now\n"
               "  strip show|hide|toggle\n"
               "                        show or hide the strip, as the settings' switch does\n"
               "  settings              open the settings window\n"
               "  about                 open the About window\n"
               "  check-updates         check for a newer version now\n"
               "  quit                  quit Pelora\n"
               "  defaults ...          read and change the preferences (pelora defaults --help)\n"
               "  --help, --version\n"
               "\n"
               "MODULE is one of %1.\n"
               "\n"
               "Exit status: 0 done, 1 Pelora refused or did not answer, 2 bad usage,\n"
               "3 Pelora is not running.\n")
        .arg(moduleChoices());
}

QString versionText(const Bundle& bundle) {
    const QString name = bundle.infoValue(QStringLiteral("CFBundleName")).value_or("Pelora");
    const QString version =
        bundle.infoValue(QStringLiteral("CFBundleShortVersionString")).value_or(QString());
    const QString build = bundle.infoValue(QStringLiteral("CFBundleVersion")).value_or(QString());
    QString text = name;
    if (!version.isEmpty())
        text += u' ' + version;
    if (!build.isEmpty())
        text += QStringLiteral(" (%1)").arg(build);
    return text;
}

QJsonObject instanceRequest(const CommandLineRequest& request) {
    auto command = [](const char* name) {
        return QJsonObject{{QLatin1String(P::keyCommand), QLatin1String(name)}};
    };
    QJsonObject message;
    switch (request.kind) {
    case CommandKind::start:
        return command(P::commandActivate);
    case CommandKind::popup:
    case CommandKind::menu:
        message = command(request.kind == CommandKind::popup ? P::commandPopup : P::commandMenu);
        if (request.module)
            message.insert(QLatin1String(P::keyModule), rawValue(*request.module));
        if (request.toggle)
            message.insert(QLatin1String(P::keyToggle), true);
        return message;
    case CommandKind::strip: {
        static const char* const actions[] = {"show", "hide", "toggle"};
        message = command(P::commandStrip);
        message.insert(QLatin1String(P::keyAction),
                       QLatin1String(actions[int(request.stripAction)]));
        return message;
    }
    case CommandKind::settings:
        return command(P::commandSettings);
    case CommandKind::about:
        return command(P::commandAbout);
    case CommandKind::checkUpdates:
        return command(P::commandCheckUpdates);
    case CommandKind::quit:
        return command(P::commandQuit);
    case CommandKind::invalid:
    case CommandKind::help:
    case CommandKind::version:
    case CommandKind::defaults:
        break;
    }
    return {};
}

int runInstanceCommand(const CommandLineRequest& request, const QString& socketPath,
                       QTextStream& out, QTextStream& err, int timeoutMs) {
    const InstanceReply reply =
        sendInstanceRequest(socketPath, instanceRequest(request), timeoutMs);
    switch (reply.status) {
    case InstanceReply::Status::noInstance:
        err << "pelora: Pelora is not running; start it first (run pelora without a command)\n";
        return exitNoInstance;
    case InstanceReply::Status::failed:
        err << "pelora: " << reply.error << '\n';
        return exitFailure;
    case InstanceReply::Status::answered:
        break;
    }
    if (!reply.body.value(QLatin1String(P::keyOk)).toBool()) {
        const QString error = reply.body.value(QLatin1String(P::keyError)).toString();
        err << "pelora: " << (error.isEmpty() ? QStringLiteral("the request failed") : error)
            << '\n';
        return exitFailure;
    }
    if (request.kind == CommandKind::menu) {
        const QJsonObject menu = reply.body.value(QLatin1String(P::keyMenu)).toObject();
        if (request.json)
            out << QJsonDocument(menu).toJson(QJsonDocument::Indented);
        else
            out << menuJsonToText(menu);
    }
    return exitSuccess;
}

std::optional<int> runCommandLine(int& argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLineRequest request = parseCommandLine(arguments);

    QTextStream out(stdout);
    QTextStream err(stderr);
    switch (request.kind) {
    case CommandKind::start:
        return std::nullopt;
    case CommandKind::invalid:
        err << request.error << "\nRun \"pelora --help\" for the commands.\n";
        return exitUsage;
    case CommandKind::help:
        out << usageText();
        return exitSuccess;
    case CommandKind::version:
        out << versionText(LinuxBundle(LinuxBundle::currentExecutablePath())) << '\n';
        return exitSuccess;
    default:
        break;
    }

    QCoreApplication application(argc, argv);
    if (request.kind == CommandKind::defaults) {
        CborUserDefaults defaults;
        return runDefaultsTool(request.arguments, defaults, out, err);
    }
    QString pathError;
    const QString socketPath = instanceSocketPath(&pathError);
    if (socketPath.isEmpty()) {
        err << "pelora: " << pathError << '\n';
        return exitFailure;
    }
    return runInstanceCommand(request, socketPath, out, err);
}
