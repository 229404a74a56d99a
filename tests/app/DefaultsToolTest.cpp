#include "app/DefaultsTool.h"
#include "platform/linux/LinuxUserDefaults.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>

namespace {

struct ToolRun {
    int status = -1;
    QString out;
    QString err;
};

ToolRun run(UserDefaults& defaults, const QStringList& args) {
    ToolRun r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    r.status = runDefaultsTool(args, defaults, out, err);
    return r;
}

QStringList words(const char* line) {
    return QString::fromUtf8(line).split(u' ', Qt::SkipEmptyParts);
}

} // namespace

TEST(DefaultsTool, WritesTypedValues) {
    const QDateTime noonUtc(QDate(2024, 5, 1), QTime(10, 0), Qt::UTC);
    const struct {
        const char* args;
        QVariant expected;
    } cases[] = {
        {"write k plain", QStringLiteral("plain")},
        {"write k -string -5", QStringLiteral("-5")},
        {"write k -bool true", true},
        {"write k -bool YES", true},
        {"write k -bool 1", true},
        {"write k -bool no", false},
        {"write k -bool false", false},
        {"write k -bool 0", false},
        {"write k -int -42", qint64(-42)},
        {"write k -int 9007199254740993", qint64(9007199254740993LL)},
        {"write k -float 2.5", 2.5},
        {"write k -float 3", 3.0},
        {"write k -data 0aFF10", QByteArray("\x0a\xff\x10", 3)},
        {"write k -date 2024-05-01T12:00:00+02:00", noonUtc},
        {"write k -date 2024-05-01T10:00:00Z", noonUtc},
        {"write k -array -data 0a0b -int 3 word",
         QVariantList{QByteArray("\x0a\x0b", 2), qint64(3), QStringLiteral("word")}},
        {"write k -array", QVariantList{}},
        {"write k -dict name -string Bob age -int 7",
         QVariantMap{{QStringLiteral("name"), QStringLiteral("Bob")},
                     {QStringLiteral("age"), qint64(7)}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        InMemoryUserDefaults defaults;
        const ToolRun r = run(defaults, words(c.args));
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_TRUE(r.err.isEmpty());
        const auto value = defaults.objectForKey(QStringLiteral("k"));
        ASSERT_TRUE(value.has_value());
        EXPECT_EQ(value->metaType(), c.expected.metaType());
        EXPECT_EQ(*value, c.expected);
    }

    // Hex with spaces in it, as copied from a dump; and no bytes at all.
    InMemoryUserDefaults defaults;
    EXPECT_EQ(run(defaults, {QStringLiteral("write"), QStringLiteral("k"), QStringLiteral("-data"),
                             QStringLiteral("0a 0b")})
                  .status,
              0);
    EXPECT_EQ(defaults.dataForKey(QStringLiteral("k")), QByteArray("\x0a\x0b", 2));
    EXPECT_EQ(run(defaults, {QStringLiteral("write"), QStringLiteral("e"), QStringLiteral("-data"),
                             QString()})
                  .status,
              0);
    EXPECT_TRUE(variantIsData(*defaults.objectForKey(QStringLiteral("e"))));
    EXPECT_TRUE(defaults.dataForKey(QStringLiteral("e")).isEmpty());
}

TEST(DefaultsTool, ArrayAddAppendsAndRefusesToReplaceOtherValues) {
    InMemoryUserDefaults defaults;
    EXPECT_EQ(run(defaults, words("write list -array-add -data 01")).status, 0);
    EXPECT_EQ(run(defaults, words("write list -array-add -data 02 -bool yes")).status, 0);
    EXPECT_EQ(defaults.arrayForKey(QStringLiteral("list")),
              (QVariantList{QByteArray("\x01"), QByteArray("\x02"), true}));

    defaults.setObject(QStringLiteral("text"), QStringLiteral("kept"));
    const ToolRun r = run(defaults, words("write text -array-add x"));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("not an array")));
    EXPECT_EQ(defaults.stringForKey(QStringLiteral("text")), QStringLiteral("kept"));
}

TEST(DefaultsTool, ReadsOneKeyOrAllWithTypes) {
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

    ToolRun all = run(defaults, {QStringLiteral("read")});
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

    // Levels past the shown depth are summed up, so the text grows with the value, not with
    // its depth times its size.
    QVariant deep = QVariantMap{{QStringLiteral("x"), true}};
    for (int level = 0; level < 40; ++level)
        deep = QVariantList{deep};
    const QString deepText = describeDefaultsValue(deep);
    EXPECT_EQ(deepText.count(u'\n'), 2 * 16);
    EXPECT_TRUE(deepText.contains(u'\n' + QString(64, u' ') +
                                  QLatin1String("array (1 item nested too deep to show)\n")));
    EXPECT_EQ(describeDefaultsValue(QVariantList{QVariantList{}}, 16),
              QStringLiteral("array (1 item nested too deep to show)"));

    ToolRun one = run(defaults, words("read count"));
    EXPECT_EQ(one.status, 0);
    EXPECT_EQ(one.out, QStringLiteral("int 3\n"));

    ToolRun missing = run(defaults, words("read absent"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.out.isEmpty());
    EXPECT_TRUE(missing.err.contains(QStringLiteral("\"absent\" does not exist")));
}

TEST(DefaultsTool, DeletesKeysThatExist) {
    InMemoryUserDefaults defaults;
    defaults.setObject(QStringLiteral("gone"), true);
    EXPECT_EQ(run(defaults, words("delete gone")).status, 0);
    EXPECT_FALSE(defaults.contains(QStringLiteral("gone")));
    const ToolRun again = run(defaults, words("delete gone"));
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(again.err.contains(QStringLiteral("does not exist")));
}

TEST(DefaultsTool, BadUsageExitsTwoWithTheUsageAndChangesNothing) {
    const QStringList cases[] = {
        {},
        words("frobnicate"),
        words("read a b"),
        words("write"),
        words("write k"),
        words("write k a b"),
        words("write k -int"),
        words("write k -int 12abc"),
        words("write k -int 1.5"),
        words("write k -float pi"),
        words("write k -bool maybe"),
        words("write k -data abc"),
        words("write k -data zz"),
        words("write k -date yesterday"),
        words("write k -nope 1"),
        words("write k -5"),
        words("write k -array -int"),
        words("write k -array -int x"),
        words("write k -dict name"),
        words("delete"),
        words("delete a b"),
        {QStringLiteral("write"), QString(), QStringLiteral("x")},
    };
    for (const QStringList& args : cases) {
        SCOPED_TRACE(args.join(u' ').toStdString());
        InMemoryUserDefaults defaults;
        defaults.setObject(QStringLiteral("k"), QStringLiteral("before"));
        const ToolRun r = run(defaults, args);
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(r.err.contains(QStringLiteral("Usage: pelora defaults")));
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_EQ(defaults.allKeys(), QStringList{QStringLiteral("k")});
        EXPECT_EQ(defaults.stringForKey(QStringLiteral("k")), QStringLiteral("before"));
    }

    InMemoryUserDefaults defaults;
    const ToolRun help = run(defaults, words("help"));
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("-array-add")));
}

TEST(DefaultsTool, AChangeThatCannotBeSavedIsAFailure) {
    QTemporaryDir dir;
    // The store's folder would have to be made inside a plain file.
    const QString blocker = dir.path() + QStringLiteral("/blocker");
    QFile f(blocker);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    LinuxUserDefaults defaults(blocker + QStringLiteral("/pelora/defaults.cbor"));
    const ToolRun r = run(defaults, words("write k -int 1"));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("could not be saved")));
    EXPECT_TRUE(defaults.hasUnsavedChanges());
}
