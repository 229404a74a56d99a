#include "app/CommandLine.h"
#include "app/InstanceProtocol.h"
#include "fakes/FakeBundle.h"

#include <QJsonObject>
#include <gtest/gtest.h>

namespace {
CommandLineRequest parse(std::initializer_list<const char*> words) {
    QStringList arguments;
    for (const char* word : words)
        arguments << QString::fromUtf8(word);
    return parseCommandLine(arguments);
}

QString commandOf(const QJsonObject& message) {
    return message.value(QLatin1String(InstanceProtocol::keyCommand)).toString();
}
} // namespace

TEST(CommandLine, ModuleCommandsTakeExactlyOneModuleWithAButton) {
    const auto popup = parse({"popup", "documents"});
    EXPECT_EQ(popup.kind, CommandKind::popup);
    EXPECT_EQ(popup.module, StripModule::documents);

    const auto menu = parse({"menu", "--json", "windows"});
    EXPECT_EQ(menu.kind, CommandKind::menu);
    EXPECT_EQ(menu.module, StripModule::windows);
    EXPECT_TRUE(menu.json);
    EXPECT_FALSE(parse({"menu", "clipboard"}).json);

    // Missing, unknown, wrongly cased, doubled, and the three modules without a button.
    for (const char* line :
         {"popup", "menu --json", "popup Documents", "popup photos", "popup documents folders",
          "popup shortcuts", "menu websites", "popup tasks"}) {
        const auto request = parseCommandLine(QString::fromLatin1(line).split(u' '));
        EXPECT_EQ(request.kind, CommandKind::invalid) << line;
        EXPECT_FALSE(request.error.isEmpty());
    }
    EXPECT_TRUE(parse({"popup"}).error.contains(QLatin1String("which module")));
    const QString noButton = parse({"popup", "shortcuts"}).error;
    EXPECT_TRUE(noButton.contains(QLatin1String("no button"))) << noButton.toStdString();
    // The message lists the choices, and only those with a button.
    EXPECT_TRUE(noButton.contains(QLatin1String("clipboard")));
    EXPECT_FALSE(noButton.contains(QLatin1String("tasks,")));
}

TEST(CommandLine, UnknownCommandsAndStrayArgumentsAreBadUsage) {
    EXPECT_EQ(parse({"open"}).kind, CommandKind::invalid);
    EXPECT_TRUE(parse({"open"}).error.contains(QLatin1String("unknown command")));
    EXPECT_EQ(parse({"Quit"}).kind, CommandKind::invalid);
    EXPECT_EQ(parse({"quit", "now"}).kind, CommandKind::invalid);
    EXPECT_EQ(parse({"settings", "general"}).kind, CommandKind::invalid);
    EXPECT_EQ(parse({"--jsno"}).kind, CommandKind::invalid);
    EXPECT_EQ(parse({"strip"}).kind, CommandKind::invalid);
    EXPECT_EQ(parse({"strip", "maybe"}).kind, CommandKind::invalid);
    EXPECT_EQ(parse({"strip", "show", "hide"}).kind, CommandKind::invalid);

    EXPECT_EQ(parse({"strip", "hide"}).stripAction, StripAction::hide);
    EXPECT_EQ(parse({"strip", "toggle"}).stripAction, StripAction::toggle);
    EXPECT_EQ(parse({"strip", "show"}).kind, CommandKind::strip);
    EXPECT_EQ(parse({"check-updates"}).kind, CommandKind::checkUpdates);
}

TEST(CommandLine, StartHelpVersionAndTheDefaultsTool) {
    EXPECT_EQ(parse({}).kind, CommandKind::start);
    // Qt's own options (and the session manager's -session) start the program.
    EXPECT_EQ(parse({"-platform", "offscreen"}).kind, CommandKind::start);
    EXPECT_EQ(parse({"-session", "1234"}).kind, CommandKind::start);

    for (const char* line : {"--help", "-h", "help", "popup --help", "strip -h"})
        EXPECT_EQ(parseCommandLine(QString::fromLatin1(line).split(u' ')).kind, CommandKind::help)
            << line;
    EXPECT_EQ(parse({"--version"}).kind, CommandKind::version);
    EXPECT_EQ(parse({"-v"}).kind, CommandKind::version);

    // The defaults tool gets its arguments untouched, its own --help included.
    const auto defaults = parse({"defaults", "write", "PeloraStripVisible", "-bool", "false"});
    EXPECT_EQ(defaults.kind, CommandKind::defaults);
    EXPECT_EQ(defaults.arguments,
              (QStringList{QStringLiteral("write"), QStringLiteral("PeloraStripVisible"),
                           QStringLiteral("-bool"), QStringLiteral("false")}));
    EXPECT_EQ(parse({"defaults", "--help"}).kind, CommandKind::defaults);

    const QString usage = usageText();
    for (const char* word : {"popup MODULE", "menu MODULE [--json]", "strip show|hide|toggle",
                             "check-updates", "quit", "documents, folders, applications"})
        EXPECT_TRUE(usage.contains(QLatin1String(word))) << word;

    FakeBundle bundle;
    bundle.info[QStringLiteral("CFBundleShortVersionString")] = QStringLiteral("2.3");
    bundle.info[QStringLiteral("CFBundleVersion")] = QStringLiteral("41");
    EXPECT_EQ(versionText(bundle), QStringLiteral("Pelora 2.3 (41)"));
    bundle.info.clear();
    EXPECT_EQ(versionText(bundle), QStringLiteral("Pelora"));
}

TEST(CommandLine, EachCommandBecomesItsRequest) {
    const QJsonObject popup = instanceRequest(parse({"popup", "clipboard"}));
    EXPECT_EQ(commandOf(popup), QStringLiteral("popup"));
    EXPECT_EQ(popup.value(QLatin1String(InstanceProtocol::keyModule)).toString(),
              QStringLiteral("clipboard"));
    const QJsonObject strip = instanceRequest(parse({"strip", "toggle"}));
    EXPECT_EQ(commandOf(strip), QStringLiteral("strip"));
    EXPECT_EQ(strip.value(QLatin1String(InstanceProtocol::keyAction)).toString(),
              QStringLiteral("toggle"));
    EXPECT_EQ(commandOf(instanceRequest(parse({}))), QStringLiteral("activate"));
    EXPECT_EQ(commandOf(instanceRequest(parse({"check-updates"}))),
              QStringLiteral("check-updates"));
    EXPECT_TRUE(instanceRequest(parse({"--help"})).isEmpty());
}
