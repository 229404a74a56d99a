#include "app/DefaultsTool.h"

#include "platform/UserDefaults.h"

#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QTextStream>
#include <optional>

namespace {

const char* const kUsage =
    "Usage: pelora defaults read [KEY]\n"
    "       pelora defaults write KEY VALUE\n"
    "       pelora defaults write KEY -array [VALUE...]\n"
    "       pelora defaults write KEY -array-add [VALUE...]\n"
    "       pelora defaults write KEY -dict [NAME VALUE...]\n"
    "       pelora defaults delete KEY\n"
    "\n"
    "read prints every key, or the value of one key, each with its type.\n"
    "A VALUE is a string, or a type followed by the value's text:\n"
    "  -string TEXT     -bool true|false|yes|no|1|0     -int INTEGER     -float NUMBER\n"
    "  -data HEX        -date ISO-8601 (2024-05-01T10:00:00Z; without an offset, local time)\n"
    "-array stores its VALUEs as an array (-array -data 0a0b -data 0c0d), replacing the key's\n"
    "value; -array-add appends them to the array stored under KEY; -dict stores NAME VALUE\n"
    "pairs as a dictionary.\n"
    "Exit status: 0 done, 1 no such key or the change could not be saved, 2 bad usage.\n";

enum Status { Done = 0, Failed = 1, BadUsage = 2 };

struct UsageError {
    QString message;
};

QString quoted(const QString& text) {
    static const QHash<char16_t, QLatin1String> named{{u'"', QLatin1String("\\\"")},
                                                      {u'\\', QLatin1String("\\\\")},
                                                      {u'\n', QLatin1String("\\n")},
                                                      {u'\r', QLatin1String("\\r")},
                                                      {u'\t', QLatin1String("\\t")}};
    QString out = QStringLiteral("\"");
    for (QChar c : text) {
        if (auto it = named.constFind(c.unicode()); it != named.constEnd())
            out += *it;
        else if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out + u'"';
}

QString keyText(const QString& key) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_.-]+$"));
    return plain.match(key).hasMatch() ? key : quoted(key);
}

QString dateText(const QDateTime& date) {
    const QDateTime utc = date.toUTC();
    return utc.toString(utc.time().msec() ? Qt::ISODateWithMs : Qt::ISODate);
}

// Values in messages are cut short: a data value may be hundreds of kilobytes of hex.
QString shown(const QString& text) {
    constexpr qsizetype kLimit = 40;
    return text.size() <= kLimit ? text : text.left(kLimit) + QStringLiteral("...");
}

bool isHexDigit(QChar c) {
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
}

bool parseBool(const QString& text, bool& value) {
    const QString t = text.trimmed().toLower();
    if (t == u"true" || t == u"yes" || t == u"1")
        value = true;
    else if (t == u"false" || t == u"no" || t == u"0")
        value = false;
    else
        return false;
    return true;
}

// One VALUE at args[i]: a bare string or a type flag with its text. Advances i past it.
QVariant parseValue(const QStringList& args, qsizetype& i) {
    const QString& word = args[i];
    if (!word.startsWith(u'-') || word.size() == 1) {
        ++i;
        return word;
    }
    static const QStringList flags{QStringLiteral("-string"), QStringLiteral("-bool"),
                                   QStringLiteral("-int"),    QStringLiteral("-float"),
                                   QStringLiteral("-data"),   QStringLiteral("-date")};
    if (!flags.contains(word))
        throw UsageError{QStringLiteral("unknown type %1 (give strings starting with - as "
                                        "-string TEXT)")
                             .arg(shown(word))};
    if (i + 1 >= args.size())
        throw UsageError{QStringLiteral("%1 needs a value").arg(word)};
    const QString text = args[i + 1];
    i += 2;
    if (word == u"-string")
        return text;
    if (word == u"-bool") {
        bool value = false;
        if (!parseBool(text, value))
            throw UsageError{QStringLiteral("not a boolean: %1").arg(shown(text))};
        return value;
    }
    if (word == u"-int") {
        bool ok = false;
        const qint64 value = text.trimmed().toLongLong(&ok, 10);
        if (!ok)
            throw UsageError{QStringLiteral("not an integer: %1").arg(shown(text))};
        return value;
    }
    if (word == u"-float") {
        bool ok = false;
        const double value = text.trimmed().toDouble(&ok);
        if (!ok)
            throw UsageError{QStringLiteral("not a number: %1").arg(shown(text))};
        return value;
    }
    if (word == u"-data") {
        QByteArray digits;
        digits.reserve(text.size());
        for (QChar c : text) {
            if (isHexDigit(c))
                digits += char(c.unicode());
            else if (!c.isSpace())
                throw UsageError{QStringLiteral("not hexadecimal data: %1").arg(shown(text))};
        }
        if (digits.size() % 2)
            throw UsageError{
                QStringLiteral("hexadecimal data needs two digits a byte: %1").arg(shown(text))};
        return QByteArray::fromHex(digits);
    }
    const QDateTime date = QDateTime::fromString(text.trimmed(), Qt::ISODateWithMs);
    if (!date.isValid())
        throw UsageError{QStringLiteral("not an ISO 8601 date: %1").arg(shown(text))};
    return date.toUTC();
}

int save(UserDefaults& defaults, QTextStream& err) {
    defaults.synchronize();
    if (defaults.hasUnsavedChanges()) {
        err << "pelora defaults: the change could not be saved\n";
        return Failed;
    }
    return Done;
}

int missingKey(const QString& key, QTextStream& err) {
    err << "pelora defaults: the key " << quoted(key) << " does not exist\n";
    return Failed;
}

int write(const QStringList& args, UserDefaults& defaults, QTextStream& err) {
    const QString& key = args[1];
    const QString kind = args[2];
    QVariant value;
    if (kind == u"-array" || kind == u"-array-add") {
        QVariantList items;
        if (kind == u"-array-add") {
            if (auto existing = defaults.objectForKey(key)) {
                if (!variantIsArray(*existing)) {
                    err << "pelora defaults: the value of " << quoted(key) << " is not an array\n";
                    return Failed;
                }
                items = existing->toList();
            }
        }
        for (qsizetype i = 3; i < args.size();)
            items.append(parseValue(args, i));
        value = items;
    } else if (kind == u"-dict") {
        QVariantMap map;
        for (qsizetype i = 3; i < args.size();) {
            const QString name = args[i++];
            if (i >= args.size())
                throw UsageError{QStringLiteral("the entry %1 needs a value").arg(shown(name))};
            map.insert(name, parseValue(args, i));
        }
        value = map;
    } else {
        qsizetype i = 2;
        value = parseValue(args, i);
        if (i < args.size())
            throw UsageError{QStringLiteral("unexpected %1 after the value").arg(shown(args[i]))};
    }
    defaults.setObject(key, value);
    return save(defaults, err);
}

int run(const QStringList& args, UserDefaults& defaults, QTextStream& out, QTextStream& err) {
    if (args.isEmpty())
        throw UsageError{};
    const QString& command = args[0];
    if (command == u"help" || command == u"-h" || command == u"--help") {
        out << kUsage;
        return Done;
    }
    if (command != u"read" && command != u"write" && command != u"delete")
        throw UsageError{QStringLiteral("unknown command %1").arg(shown(command))};
    if (args.size() >= 2 && args[1].isEmpty())
        throw UsageError{QStringLiteral("the key is empty")};

    // Start from what is on disk now.
    defaults.synchronize();
    if (command == u"read") {
        if (args.size() > 2)
            throw UsageError{QStringLiteral("read takes at most one key")};
        if (args.size() == 2) {
            const auto value = defaults.objectForKey(args[1]);
            if (!value)
                return missingKey(args[1], err);
            out << describeDefaultsValue(*value) << '\n';
            return Done;
        }
        QStringList keys = defaults.allKeys();
        keys.sort();
        for (const QString& key : std::as_const(keys))
            out << keyText(key) << " = " << describeDefaultsValue(*defaults.objectForKey(key))
                << '\n';
        return Done;
    }
    if (command == u"delete") {
        if (args.size() != 2)
            throw UsageError{QStringLiteral("delete takes one key")};
        if (!defaults.contains(args[1]))
            return missingKey(args[1], err);
        defaults.removeObject(args[1]);
        return save(defaults, err);
    }
    if (args.size() < 3)
        throw UsageError{QStringLiteral("write needs a key and a value")};
    return write(args, defaults, err);
}

} // namespace

int runDefaultsTool(const QStringList& args, UserDefaults& defaults, QTextStream& out,
                    QTextStream& err) {
    int status = BadUsage;
    try {
        status = run(args, defaults, out, err);
    } catch (const UsageError& e) {
        if (!e.message.isEmpty())
            err << "pelora defaults: " << e.message << "\n\n";
        err << kUsage;
    }
    out.flush();
    err.flush();
    return status;
}

namespace {

// Real values nest three or four levels; deeper containers (hostile or damaged data) are
// summed up on one line, so the output stays proportional to what is shown.
constexpr int kShownDepth = 16;

void appendPadding(QString& out, int indent) {
    out.resize(out.size() + qsizetype(indent) * 4, u' ');
}

void appendValue(QString& out, const QVariant& value, int indent);

// A container as "kind (…)": empty, cut off when nested too deep, or its items one a line.
template <typename AppendItems>
void appendContainer(QString& out, int indent, QLatin1String kind, QLatin1String brackets,
                     qsizetype size, QLatin1String one, QLatin1String many,
                     AppendItems appendItems) {
    out += kind + u' ' + brackets[0];
    if (size == 0) {
        // nothing between the brackets
    } else if (indent >= kShownDepth) {
        out += QString::number(size) + u' ' + (size == 1 ? one : many) +
               QLatin1String(" nested too deep to show");
    } else {
        out += u'\n';
        appendItems();
        appendPadding(out, indent);
    }
    out += brackets[1];
}

// Appends to one string: building each level's text and copying it into its parent's would
// copy deep values once per level.
void appendValue(QString& out, const QVariant& value, int indent) {
    if (variantIsArray(value)) {
        const QVariantList items = value.toList();
        appendContainer(out, indent, QLatin1String("array"), QLatin1String("()"), items.size(),
                        QLatin1String("item"), QLatin1String("items"), [&] {
                            for (const QVariant& item : items) {
                                appendPadding(out, indent + 1);
                                appendValue(out, item, indent + 1);
                                out += u'\n';
                            }
                        });
        return;
    }
    if (variantIsDictionary(value)) {
        const QVariantMap map = value.toMap();
        appendContainer(out, indent, QLatin1String("dict"), QLatin1String("{}"), map.size(),
                        QLatin1String("entry"), QLatin1String("entries"), [&] {
                            for (auto it = map.cbegin(); it != map.cend(); ++it) {
                                appendPadding(out, indent + 1);
                                out += keyText(it.key()) + QLatin1String(" = ");
                                appendValue(out, it.value(), indent + 1);
                                out += u'\n';
                            }
                        });
        return;
    }
    if (variantIsBool(value))
        out += value.toBool() ? QLatin1String("bool true") : QLatin1String("bool false");
    else if (variantIsInteger(value))
        out += QLatin1String("int ") + QString::number(value.toLongLong());
    else if (variantIsNumber(value))
        out += QLatin1String("float ") +
               QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    else if (variantIsString(value))
        out += QLatin1String("string ") + quoted(value.toString());
    else if (variantIsData(value))
        out += QLatin1String("data <") + QString::fromLatin1(value.toByteArray().toHex()) + u'>';
    else if (variantIsDate(value))
        out += QLatin1String("date ") + dateText(value.toDateTime());
    else if (!value.isValid() || value.metaType().id() == QMetaType::Nullptr)
        out += QLatin1String("null");
    else
        out += QString::fromLatin1(value.typeName()) + u' ' + quoted(value.toString());
}

} // namespace

QString describeDefaultsValue(const QVariant& value, int indent) {
    QString text;
    appendValue(text, value, indent);
    return text;
}
