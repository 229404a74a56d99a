#include "app/DefaultsTool.h"
#include "platform/linux/files/CborUserDefaults.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <QTextStream>

namespace {
struct ToolRun {
    int status = -1;
    QString out;
    QString err;
};

ToolRun run(UserDefaults& defaults, const QStringList& args) {
    ToolRun r;
    QTextStream out(&r.out), err(&r.err);
    r.status = runDefaultsTool(args, defaults, out, err);
    return r;
}
// Words split at blanks.
ToolRun run(UserDefaults& defaults, const char* line) {
    return run(defaults, QString::fromUtf8(line).split(u' ', Qt::SkipEmptyParts));
}
} // namespace

TEST(DefaultsTool, WritesTypedValuesThatReadBackWithTheirTypes) {
    const std::pair<QStringList, const char*> cases[] = {
        {{"plain"}, "string \"plain\""},
        {{"-string", "say \"hi\"\n"}, "string \"say \\\"hi\\\"\\n\""},
        {{"-bool", "YES"}, "bool true"},
        {{"-bool", "no"}, "bool false"},
        {{"-int", "-42"}, "int -42"},
        {{"-int", "9007199254740993"}, "int 9007199254740993"},
        {{"-float", "3"}, "float 3"},
        {{"-data", "0aFF10"}, "data <0aff10>"},
        // Hex with blanks in it, as copied from a dump; and no bytes at all.
        {{"-data", "0a 0b"}, "data <0a0b>"},
        {{"-data", ""}, "data <>"},
        {{"-date", "2024-05-01T12:00:00+02:00"}, "date 2024-05-01T10:00:00Z"},
        {{"-array", "-data", "0a", "-int", "3", "word"},
         "array (\n    data <0a>\n    int 3\n    string \"word\"\n)"},
        {{"-dict", "name", "-string", "Bob", "age", "-int", "7"},
         "dict {\n    age = int 7\n    name = string \"Bob\"\n}"},
    };
    for (const auto& [value, read] : cases) {
        InMemoryUserDefaults defaults;
        const QString line = value.join(u' ');
        EXPECT_EQ(run(defaults, QStringList{"write", "k"} + value).status, 0) << line.toStdString();
        EXPECT_EQ(run(defaults, "read k").out, QLatin1String(read) + u'\n') << line.toStdString();
    }
}

TEST(DefaultsTool, ArrayAddAppendsDeleteRemovesAndNeitherTouchesWhatIsNotTheirs) {
    InMemoryUserDefaults defaults;
    EXPECT_EQ(run(defaults, "write list -array-add -data 01").status, 0);
    EXPECT_EQ(run(defaults, "write list -array-add -data 02 -bool yes").status, 0);
    EXPECT_EQ(defaults.arrayForKey(QStringLiteral("list")),
              (QVariantList{QByteArray("\x01"), QByteArray("\x02"), true}));
    defaults.setObject(QStringLiteral("text"), QStringLiteral("kept"));
    const ToolRun r = run(defaults, "write text -array-add x");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("not an array")));
    EXPECT_EQ(defaults.stringForKey(QStringLiteral("text")), QStringLiteral("kept"));

    defaults.setObject(QStringLiteral("flag"), true);
    EXPECT_EQ(run(defaults, "delete flag").status, 0);
    EXPECT_FALSE(defaults.contains(QStringLiteral("flag")));
    for (const char* line : {"read flag", "delete flag"}) {
        const ToolRun missing = run(defaults, line);
        EXPECT_EQ(missing.status, 1) << line;
        EXPECT_TRUE(missing.err.contains(QStringLiteral("\"flag\" does not exist"))) << line;
    }
}

TEST(DefaultsTool, AValueNestedDeeplyIsSummedUpNotPrintedWhole) {
    // The text grows with the value, not with its depth times its size.
    QVariant deep = QVariantMap{{QStringLiteral("x"), true}};
    for (int level = 0; level < 40; ++level)
        deep = QVariantList{deep};
    const QString text = describeDefaultsValue(deep);
    EXPECT_EQ(text.count(u'\n'), 2 * 16);
    EXPECT_TRUE(text.contains(u'\n' + QString(64, u' ') +
                              QLatin1String("array (1 item nested too deep to show)\n")));
}

TEST(DefaultsTool, BadUsageExitsTwoWithTheUsageAndChangesNothing) {
    const QStringList lines =
        QStringLiteral(
            "|frobnicate|read a b|write|write k|write k a b|write k -int|write k -int 12abc|"
            "write k -int 1.5|write k -float pi|write k -bool maybe|write k -data abc|"
            "write k -data zz|write k -date yesterday|write k -nope 1|write k -5|"
            "write k -array -int|write k -array -int x|write k -dict name|delete|"
            "delete a b")
            .split(u'|');
    for (const QString& line : lines) {
        InMemoryUserDefaults defaults;
        defaults.setObject(QStringLiteral("k"), QStringLiteral("before"));
        const ToolRun r = run(defaults, line.split(u' ', Qt::SkipEmptyParts));
        EXPECT_EQ(r.status, 2) << line.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("Usage: pelora defaults"))) << line.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << line.toStdString();
        EXPECT_EQ(defaults.allKeys(), QStringList{QStringLiteral("k")}) << line.toStdString();
        EXPECT_EQ(defaults.stringForKey(QStringLiteral("k")), QStringLiteral("before"));
    }
    InMemoryUserDefaults defaults;
    EXPECT_EQ(run(defaults, {"write", "", "x"}).status, 2) << "an empty key";
}

TEST(DefaultsTool, AChangeThatCannotBeSavedIsAFailure) {
    // The store's folder would have to be made inside a plain file.
    const TempTree tree{"blocker"};
    CborUserDefaults defaults(tree.path(QStringLiteral("blocker/pelora/defaults.cbor")));
    const ToolRun r = run(defaults, "write k -int 1");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("could not be saved")));
}
