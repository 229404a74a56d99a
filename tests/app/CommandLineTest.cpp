#include "app/CommandLine.h"
#include "app/InstanceProtocol.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

TEST(CommandLine, EachLineBecomesItsRequestOrTellsTheUserWhatIsWrong) {
    using K = CommandKind;
    const struct {
        const char* line;
        CommandKind kind;
        const char* sent; // the request to the instance, or what the error says
    } cases[] = {
        // Qt's own options (and the session manager's -session) start the program.
        {"-platform offscreen", K::start, R"({"command":"activate"})"},
        {"check-updates", K::checkUpdates, R"({"command":"check-updates"})"},
        {"popup --help", K::help, ""},
        {"-v", K::version, ""},
        {"defaults --help", K::defaults, ""},
        // Missing, unknown, wrongly cased, doubled, modules without a button, stray words.
        {"popup", K::invalid, "which module? One of documents, folders, applications"},
        {"popup Documents", K::invalid, "unknown module \"Documents\""},
        {"popup documents folders", K::invalid, "one module only"},
        {"open", K::invalid, "unknown command \"open\""},
        {"quit now", K::invalid, "takes no arguments"},
        {"settings general", K::invalid, "takes no arguments"},
        {"--jsno", K::invalid, "unknown option"},
        {"strip show hide", K::invalid, "show, hide or toggle"},
    };
    for (const auto& c : cases) {
        const CommandLineRequest request =
            parseCommandLine(QString::fromLatin1(c.line).split(u' ', Qt::SkipEmptyParts));
        EXPECT_EQ(request.kind, c.kind) << c.line;
        const QString sent =
            c.kind == K::invalid
                ? request.error
                : QString::fromUtf8(InstanceProtocol::encode(instanceRequest(request)));
        EXPECT_TRUE(sent.contains(QLatin1String(c.sent))) << c.line << ": " << sent.toStdString();
    }
}
