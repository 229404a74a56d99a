#include "app/DefaultsTool.h"
#include "platform/linux/LinuxUserDefaults.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <QRegularExpression>
#include <QTextStream>
#include <gtest/gtest.h>

namespace {
struct ToolRun {
    int status = -1;
    QString out;
    QString err;
};

// Words split at blanks; "_" stands for an empty argument.
ToolRun run(UserDefaults& defaults, const char* line) {
    QStringList args = QString::fromUtf8(line).split(u' ', Qt::SkipEmptyParts);
    args.replaceInStrings(QRegularExpression(QStringLiteral("^_$")), QString());
    ToolRun r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    r.status = runDefaultsTool(args, defaults, out, err);
    return r;
}
} // namespace

TEST(DefaultsTool, WritesTypedValues) {
    const QDateTime tenUtc(QDate(2024, 5, 1), QTime(10, 0), Qt::UTC);
    const std::pair<const char*, QVariant> cases[] = {
        {"plain", QStringLiteral("plain")},
        {"-string -5", QStringLiteral("-5")},
        {"-bool true", true},
        {"-bool YES", true},
        {"-bool 1", true},
        {"-bool no", false},
        {"-bool 0", false},
        {"-int -42", qint64(-42)},
        {"-int 9007199254740993", qint64(9007199254740993LL)},
        {"-float 2.5", 2.5},
        {"-float 3", 3.0},
        {"-data 0aFF10", QByteArray("\x0a\xff\x10", 3)},
        {"-data _", QByteArray()},
        {"-date 2024-05-01T12:00:00+02:00", tenUtc},
        {"-date 2024-05-01T10:00:00Z", tenUtc},
        {"-array -data 0a0b -int 3 word",
         QVariantList{QByteArray("\x0a\x0b", 2), qint64(3), QStringLiteral("word")}},
        {"-array", QVariantList{}},
        {"-dict name -string Bob age -int 7",
         QVariantMap{{QStringLiteral("name"), QStringLiteral("Bob")},
                     {QStringLiteral("age"), qint64(7)}}},
    };
    for (const auto& [args, expected] : cases) {
        InMemoryUserDefaults defaults;
        const ToolRun r = run(defaults, QByteArray("write k " + QByteArray(args)).constData());
        EXPECT_EQ(r.status, 0) << args << r.err.toStdString();
        const QVariant value = defaults.objectForKey(QStringLiteral("k")).value_or(QVariant());
        EXPECT_EQ(value.metaType(), expected.metaType()) << args;
        EXPECT_EQ(value, expected) << args;
    }
    // Hex with blanks in it, as copied from a dump.
    InMemoryUserDefaults defaults;
    ToolRun r;
    QTextStream out(&r.out), err(&r.err);
    EXPECT_EQ(runDefaultsTool({"write", "k", "-data", "0a 0b"}, defaults, out, err), 0);
    EXPECT_EQ(defaults.dataForKey(QStringLiteral("k")), QByteArray("\x0a\x0b", 2));
}

TEST(DefaultsTool, ArrayAddAppendsAndRefusesToReplaceOtherValues) {
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
}

TEST(DefaultsTool, ReadsOneKeyOrAllWithTypesAndDeletes) {
    InMemoryUserDefaults defaults;
    defaults.setObject(QStringLiteral("flag"), true);
    defaults.setObject(QStringLiteral("count"), qint64(3));
    defaults.setObject(QStringLiteral("ratio"), 0.5);
    defaults.setObject(QStringLiteral("name"), QStringLiteral("say \"hi\"\n"));
    defaults.setObject(QStringLiteral("when"),
                       QDateTime(QDate(2024, 5, 1), QTime(10, 0, 0, 250), Qt::UTC));
    defaults.setObject(QStringLiteral("odd key"), QByteArray("\x00\xab", 2));
    defaults.setObject(QStringLiteral("nested"),
                       QVariantList{QByteArray("\x01", 1),
                                    QVariantMap{{QStringLiteral("inner"), false},
                                                {QStringLiteral("empty"), QVariantList{}}}});
    const ToolRun all = run(defaults, "read");
    EXPECT_EQ(all.status, 0);
    EXPECT_EQ(all.out.toStdString(), "count = int 3\n"
                                     "flag = bool true\n"
                                     "name = string \"say \\\"hi\\\"\\n\"\n"
                                     "nested = array (\n"
                                     "    data <01>\n"
                                     "    dict {\n"
                                     "        empty = array ()\n"
                                     "        inner = bool false\n"
                                     "    }\n"
                                     ")\n"
                                     "\"odd key\" = data <00ab>\n"
                                     "ratio = float 0.5\n"
                                     "when = date 2024-05-01T10:00:00.250Z\n");
    EXPECT_EQ(run(defaults, "read count").out, QStringLiteral("int 3\n"));

    EXPECT_EQ(run(defaults, "delete count").status, 0);
    EXPECT_FALSE(defaults.contains(QStringLiteral("count")));
    for (const char* line : {"read count", "delete count"}) {
        const ToolRun missing = run(defaults, line);
        EXPECT_EQ(missing.status, 1) << line;
        EXPECT_TRUE(missing.out.isEmpty());
        EXPECT_TRUE(missing.err.contains(QStringLiteral("\"count\" does not exist"))) << line;
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
    for (const char* line : {"",
                             "frobnicate",
                             "read a b",
                             "write",
                             "write k",
                             "write k a b",
                             "write k -int",
                             "write k -int 12abc",
                             "write k -int 1.5",
                             "write k -float pi",
                             "write k -bool maybe",
                             "write k -data abc",
                             "write k -data zz",
                             "write k -date yesterday",
                             "write k -nope 1",
                             "write k -5",
                             "write k -array -int",
                             "write k -array -int x",
                             "write k -dict name",
                             "delete",
                             "delete a b",
                             "write _ x"}) {
        InMemoryUserDefaults defaults;
        defaults.setObject(QStringLiteral("k"), QStringLiteral("before"));
        const ToolRun r = run(defaults, line);
        EXPECT_EQ(r.status, 2) << line;
        EXPECT_TRUE(r.err.contains(QStringLiteral("Usage: pelora defaults"))) << line;
        EXPECT_TRUE(r.out.isEmpty()) << line;
        EXPECT_EQ(defaults.allKeys(), QStringList{QStringLiteral("k")}) << line;
        EXPECT_EQ(defaults.stringForKey(QStringLiteral("k")), QStringLiteral("before")) << line;
    }
}

TEST(DefaultsTool, AChangeThatCannotBeSavedIsAFailure) {
    // The store's folder would have to be made inside a plain file.
    const TempTree tree{"blocker"};
    LinuxUserDefaults defaults(tree.path(QStringLiteral("blocker/pelora/defaults.cbor")));
    const ToolRun r = run(defaults, "write k -int 1");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("could not be saved")));
}
