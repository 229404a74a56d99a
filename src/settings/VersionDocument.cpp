#include "settings/VersionDocument.h"

#include <QRegularExpression>

namespace {
QRegularExpression tagExpression(const QString& pattern) {
    return QRegularExpression(pattern, QRegularExpression::CaseInsensitiveOption |
                                           QRegularExpression::UseUnicodePropertiesOption);
}

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}
} // namespace

std::optional<QString> extractElement(const QString& text, const QString& tag) {
    // Same result as one lazy "<tag>(.*?)</tag>" search, in two linear scans: the first
    // opening element decides, since if no closing element follows it none follows a later
    // one either. A single lazy pattern would retry from every opening element and take
    // quadratic time on a document full of them.
    const QString name = QRegularExpression::escape(tag);
    const QRegularExpression open = tagExpression(QStringLiteral("<\\s*%1\\s*>").arg(name));
    const QRegularExpression close = tagExpression(QStringLiteral("<\\s*/\\s*%1\\s*>").arg(name));
    if (!open.isValid() || !close.isValid())
        return std::nullopt;
    const QRegularExpressionMatch opening = open.match(text);
    if (!opening.hasMatch())
        return std::nullopt;
    const qsizetype start = opening.capturedEnd();
    const QRegularExpressionMatch closing = close.match(text, start);
    if (!closing.hasMatch())
        return std::nullopt;
    return text.mid(start, closing.capturedStart() - start);
}

QStringList languageCandidates(const QString& preferredLocalization) {
    const QString code = preferredLocalization.toLower().section(u'-', 0, 0);
    static const QMap<QString, QStringList> table{
        {QStringLiteral("it"), {"italian", "italiano", "it"}},
        {QStringLiteral("en"), {"english", "en"}},
        {QStringLiteral("fr"), {"french", "fr"}},
        {QStringLiteral("de"), {"german", "de"}},
        {QStringLiteral("es"), {"spanish", "es"}},
        {QStringLiteral("ja"), {"japanese", "ja"}},
    };
    return table.value(code, {QStringLiteral("english"), QStringLiteral("en")});
}

std::optional<QString> localizedValue(const QString& block, const QStringList& candidates) {
    std::optional<QString> content;
    for (const QString& name : candidates) {
        content = extractElement(block, name);
        if (content)
            break;
    }
    // English only stands in when no element of the user's language exists at all.
    if (!content)
        content = extractElement(block, QStringLiteral("english"));
    if (!content)
        content = extractElement(block, QStringLiteral("en"));
    if (!content)
        return std::nullopt;
    const QString value = content->trimmed();
    if (value.isEmpty())
        return std::nullopt;
    return value;
}

std::optional<VersionInfo> parseVersionDocument(const QString& text,
                                                const QString& preferredLocalization) {
    const QString latest =
        extractElement(text, QStringLiteral("lastversion")).value_or(QString()).trimmed();
    if (latest.isEmpty())
        return std::nullopt;
    VersionInfo info;
    info.insert(kInfoLatestVersion, latest);
    const QString download =
        extractElement(text, QStringLiteral("downloadurl")).value_or(QString()).trimmed();
    if (!download.isEmpty())
        info.insert(kInfoDownloadUrl, download);
    const QStringList candidates = languageCandidates(preferredLocalization);
    if (auto block = extractElement(text, QStringLiteral("titletext")))
        if (auto title = localizedValue(*block, candidates))
            info.insert(kInfoTitleText, *title);
    if (auto block = extractElement(text, QStringLiteral("infotext")))
        if (auto infoText = localizedValue(*block, candidates))
            info.insert(kInfoInfoText, *infoText);
    return info;
}

int compareVersions(const QString& a, const QString& b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isAsciiDigit(a[i]) && isAsciiDigit(b[j])) {
            // Whole digit runs by value: without leading zeros, the longer is the larger.
            qsizetype endA = i, endB = j;
            while (endA < a.size() && isAsciiDigit(a[endA]))
                ++endA;
            while (endB < b.size() && isAsciiDigit(b[endB]))
                ++endB;
            while (i < endA - 1 && a[i] == u'0')
                ++i;
            while (j < endB - 1 && b[j] == u'0')
                ++j;
            const QStringView runA = QStringView(a).sliced(i, endA - i);
            const QStringView runB = QStringView(b).sliced(j, endB - j);
            if (runA.size() != runB.size())
                return runA.size() < runB.size() ? -1 : 1;
            if (const int c = runA.compare(runB); c != 0)
                return c < 0 ? -1 : 1;
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j] ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}
