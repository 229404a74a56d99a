#include "app/CommandLine.h"
#include "app/InstanceProtocol.h"
#include "fakes/FakeBundle.h"
#include "support/TestSupport.h"

#include <QJsonObject>
#include <gtest/gtest.h>
#include <vector>

namespace {
CommandLineRequest parse(const char* line) {
    return parseCommandLine(QString::fromLatin1(line).split(u' ', Qt::SkipEmptyParts));
}
} // namespace

TEST(CommandLine, EachLineBecomesItsCommandOrBadUsage) {
    using K = CommandKind;
    // Vectors, not initializer lists: a list's items would end with the statement that made it.
    const std::pair<CommandKind, std::vector<const char*>> cases[] = {
        // Qt's own options (and the session manager's -session) start the program.
        {K::start, {"", "-platform offscreen", "-session 1234"}},
        {K::help, {"--help", "-h", "help", "popup --help", "strip -h"}},
        {K::version, {"--version", "-v"}},
        {K::defaults, {"defaults --help"}},
        {K::popup, {"popup documents"}},
        {K::menu, {"menu --json windows", "menu clipboard"}},
        {K::strip, {"strip show", "strip hide", "strip toggle"}},
        {K::checkUpdates, {"check-updates"}},
        // Missing, unknown, wrongly cased, doubled, modules without a button, stray words.
        {K::invalid,
         {"popup", "menu --json", "popup Documents", "popup photos", "popup documents folders",
          "popup shortcuts", "menu websites", "popup tasks", "open", "Quit", "quit now",
          "settings general", "--jsno", "strip", "strip maybe", "strip show hide"}}};
    for (const auto& [kind, lines] : cases)
        for (const char* line : lines) {
            const CommandLineRequest request = parse(line);
            EXPECT_EQ(request.kind, kind) << line;
            EXPECT_EQ(request.error.isEmpty(), kind != K::invalid) << line;
        }
}

TEST(CommandLine, RequestsCarryTheirModuleActionAndArguments) {
    EXPECT_EQ(parse("popup documents").module, StripModule::documents);
    EXPECT_EQ(parse("menu --json windows").module, StripModule::windows);
    EXPECT_TRUE(parse("menu --json windows").json);
    EXPECT_FALSE(parse("menu clipboard").json);
    EXPECT_EQ(parse("strip hide").stripAction, StripAction::hide);
    EXPECT_EQ(parse("strip toggle").stripAction, StripAction::toggle);
    // The defaults tool gets its arguments untouched.
    EXPECT_EQ(parse("defaults write PeloraStripVisible -bool false").arguments,
              QStringLiteral("write PeloraStripVisible -bool false").split(u' '));

    // The user is told what is wrong, with the choices that have a button.
    EXPECT_TRUE(parse("popup").error.contains(QLatin1String("which module")));
    EXPECT_TRUE(parse("open").error.contains(QLatin1String("unknown command")));
    const QString noButton = parse("popup shortcuts").error;
    EXPECT_TRUE(noButton.contains(QLatin1String("no button"))) << noButton.toStdString();
    EXPECT_TRUE(noButton.contains(QLatin1String("clipboard")));
    EXPECT_FALSE(noButton.contains(QLatin1String("tasks,")));
}

TEST(CommandLine, EachCommandBecomesItsInstanceRequest) {
    auto request = [](const char* line) {
        return instanceRequest(parse(line));
    };
    auto field = [](const QJsonObject& message, const char* key) {
        return message.value(QLatin1String(key)).toString();
    };
    const QJsonObject popup = request("popup clipboard");
    EXPECT_EQ(field(popup, InstanceProtocol::keyCommand), QStringLiteral("popup"));
    EXPECT_EQ(field(popup, InstanceProtocol::keyModule), QStringLiteral("clipboard"));
    const QJsonObject strip = request("strip toggle");
    EXPECT_EQ(field(strip, InstanceProtocol::keyCommand), QStringLiteral("strip"));
    EXPECT_EQ(field(strip, InstanceProtocol::keyAction), QStringLiteral("toggle"));
    EXPECT_EQ(field(request(""), InstanceProtocol::keyCommand), QStringLiteral("activate"));
    EXPECT_EQ(field(request("check-updates"), InstanceProtocol::keyCommand),
              QStringLiteral("check-updates"));
    EXPECT_TRUE(request("--help").isEmpty());
}

TEST(CommandLine, UsageAndVersionTexts) {
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
