#include "common/RtfReader.h"

#include <QHash>
#include <QSet>
#include <QStringDecoder>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <climits>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace {

// Real documents nest a few dozen groups at most; deeper groups are read for their braces
// only, so a hostile document cannot make the state stack grow without bound.
constexpr int kMaxDepth = 128;
constexpr int kMaxControlWord = 32;
constexpr int kDefaultCodePage = 1252;

enum class Destination : quint8 { text, skip, fontTable, fieldInstruction };

struct GroupState {
    Destination destination = Destination::text;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    qreal pointSize = 0;
    int unicodeSkip = 1;
    int codePage = 0; // 0: the document's
    int field = -1;   // index of the field whose instruction or result this group holds
    QString link;
};

// Windows-1252 differs from Latin-1 only in 0x80-0x9F; used when the converter is missing.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

int codePageForCharset(int charset) {
    switch (charset) {
    case 0:
        return 1252;
    case 77:
        return 10000;
    case 128:
        return 932;
    case 129:
        return 949;
    case 130:
        return 1361;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 254:
        return 437;
    case 255:
        return 850;
    default:
        return 0; // default, symbol and unknown charsets: the document's code page
    }
}

QByteArray converterName(int codePage) {
    switch (codePage) {
    case 65001:
        return "UTF-8";
    case 932:
        return "Shift_JIS";
    case 936:
        return "GBK";
    case 949:
        return "windows-949";
    case 950:
        return "Big5";
    case 10000:
        return "macintosh";
    case 437:
    case 850:
        return "IBM" + QByteArray::number(codePage);
    default:
        return "windows-" + QByteArray::number(codePage);
    }
}

QString hyperlinkTarget(const QString& instruction) {
    const QString trimmed = instruction.trimmed();
    if (!trimmed.startsWith(QLatin1String("HYPERLINK"), Qt::CaseInsensitive))
        return {};
    qsizetype i = 9;
    const qsizetype n = trimmed.size();
    while (i < n) {
        while (i < n && trimmed[i].isSpace())
            ++i;
        if (i < n && trimmed[i] == u'\\') { // a switch such as \l or \o "tip"
            while (i < n && !trimmed[i].isSpace())
                ++i;
            continue;
        }
        break;
    }
    if (i >= n)
        return {};
    if (trimmed[i] == u'"') {
        const qsizetype close = trimmed.indexOf(u'"', i + 1);
        return trimmed.mid(i + 1, close < 0 ? -1 : close - i - 1);
    }
    qsizetype j = i;
    while (j < n && !trimmed[j].isSpace())
        ++j;
    return trimmed.mid(i, j - i);
}

// Unpaired surrogates (from \u escapes) would turn into garbage later; make them visible.
void replaceLoneSurrogates(QString& text) {
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            text[i] = QChar::ReplacementCharacter;
    }
}

class Parser {
public:
    explicit Parser(const QByteArray& bytes)
        : p_(bytes.constData()), end_(bytes.constData() + bytes.size()) {}

    RtfDocument parse() {
        RtfDocument doc;
        while (p_ < end_ && (*p_ == ' ' || *p_ == '\t' || *p_ == '\r' || *p_ == '\n'))
            ++p_;
        if (end_ - p_ < 5 || qstrncmp(p_, "{\\rtf", 5) != 0)
            return doc;
        doc.valid = true;
        while (p_ < end_ && !finished_)
            step();
        flushBytes();
        for (RtfRun& run : runs_)
            replaceLoneSurrogates(run.text);
        doc.runs = std::move(runs_);
        return doc;
    }

private:
    void step() {
        const char c = *p_++;
        switch (c) {
        case '{':
            openGroup();
            return;
        case '}':
            closeGroup();
            return;
        case '\\':
            escape();
            return;
        case '\r':
        case '\n':
            return; // line breaks in the file carry no meaning
        default:
            if (consumeFallback())
                return;
            if (c == '\t')
                emitText(QStringLiteral("\t"));
            else if (static_cast<unsigned char>(c) >= 0x20)
                addByte(static_cast<char>(c));
        }
    }

    void openGroup() {
        flushBytes();
        fallbackLeft_ = 0;
        ignorableNext_ = false;
        if (ignoredDepth_ > 0 || stack_.size() >= kMaxDepth) {
            ++ignoredDepth_;
            return;
        }
        stack_.push_back(state_);
    }

    void closeGroup() {
        flushBytes();
        fallbackLeft_ = 0;
        ignorableNext_ = false;
        if (ignoredDepth_ > 0) {
            --ignoredDepth_;
            return;
        }
        if (stack_.empty()) {
            finished_ = true;
            return;
        }
        state_ = std::move(stack_.back());
        stack_.pop_back();
        if (stack_.empty())
            finished_ = true; // the document's own group has ended
    }

    void escape() {
        if (p_ >= end_)
            return;
        const char c = *p_;
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            controlWord();
            return;
        }
        ++p_;
        if (c == '\'') {
            const int hi = p_ < end_ ? hexValue(*p_) : -1;
            if (hi < 0)
                return;
            ++p_;
            const int lo = p_ < end_ ? hexValue(*p_) : -1;
            int value = hi;
            if (lo >= 0) {
                ++p_;
                value = hi * 16 + lo;
            }
            // Control bytes written as escapes are not text in any code page.
            if (!consumeFallback() && value >= 0x20)
                addByte(static_cast<char>(value));
            return;
        }
        if (c == '*') {
            ignorableNext_ = true;
            return;
        }
        if (consumeFallback())
            return;
        switch (c) {
        case '\\':
        case '{':
        case '}':
            addByte(c);
            break;
        case '~':
            emitText(QString(QChar(0x00A0)));
            break;
        case '_':
            emitText(QString(QChar(0x2011)));
            break;
        case '\r':
        case '\n':
            emitText(QStringLiteral("\n"));
            break;
        default:
            break; // optional hyphen, index marks and unknown symbols
        }
    }

    static int hexValue(char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    void controlWord() {
        const char* start = p_;
        while (p_ < end_ && ((*p_ >= 'a' && *p_ <= 'z') || (*p_ >= 'A' && *p_ <= 'Z')))
            ++p_;
        const QByteArray word(start, int(std::min<ptrdiff_t>(p_ - start, kMaxControlWord)));
        bool hasParam = false;
        qint64 param = 0;
        bool negative = false;
        if (p_ + 1 < end_ && *p_ == '-' && p_[1] >= '0' && p_[1] <= '9') {
            negative = true;
            ++p_;
        }
        while (p_ < end_ && *p_ >= '0' && *p_ <= '9') {
            hasParam = true;
            param = std::min<qint64>(param * 10 + (*p_ - '0'), INT_MAX);
            ++p_;
        }
        if (p_ < end_ && *p_ == ' ')
            ++p_;
        const int value = int(negative ? -param : param);

        if (word == "bin") {
            // Binary data is skipped whole, wherever it is, or its bytes would be read as RTF.
            flushBytes();
            p_ += std::min<qint64>(std::max(value, 0), end_ - p_);
            return;
        }
        const bool ignorable = ignorableNext_;
        ignorableNext_ = false;
        if (consumeFallback())
            return;
        flushBytes();
        apply(word, hasParam, value, ignorable);
    }

    void apply(const QByteArray& w, bool hasParam, int value, bool ignorable) {
        const bool on = !hasParam || value != 0;
        const Destination dest = state_.destination;
        if (dest == Destination::skip || ignoredDepth_ > 0) {
            // Nothing inside a skipped group can bring its text back; only the fallback
            // count matters, so that the group's end is found the same way.
            if (w == "uc")
                state_.unicodeSkip = std::clamp(value, 0, 255);
            else if (w == "u")
                fallbackLeft_ = state_.unicodeSkip;
            return;
        }

        if (w == "fonttbl") {
            state_.destination = Destination::fontTable;
            return;
        }
        if (w == "field") {
            state_.field = int(fieldInstructions_.size());
            fieldInstructions_.emplace_back();
            return;
        }
        if (w == "fldinst") {
            state_.destination =
                state_.field >= 0 ? Destination::fieldInstruction : Destination::skip;
            return;
        }
        if (w == "fldrslt") {
            if (state_.field >= 0) {
                state_.destination = Destination::text;
                const QString target = hyperlinkTarget(fieldInstructions_[state_.field]);
                if (!target.isEmpty())
                    state_.link = target;
            }
            return;
        }
        if (isSkippedDestination(w)) {
            state_.destination = Destination::skip;
            return;
        }
        if (dest == Destination::fontTable && ignoredDepth_ == 0) {
            if (w == "f" && hasParam)
                fontBeingDefined_ = value;
            else if (w == "fcharset" && fontBeingDefined_ >= 0)
                fontCodePages_[fontBeingDefined_] = codePageForCharset(value);
            else if (w == "cpg" && fontBeingDefined_ >= 0 && value > 0)
                fontCodePages_[fontBeingDefined_] = value;
            return;
        }
        if (ignorable && !isKnownWord(w)) {
            // An unknown destination the writer marked as safe to skip.
            state_.destination = Destination::skip;
            return;
        }

        // Document properties
        if (w == "ansicpg") {
            if (value > 0)
                documentCodePage_ = value;
        } else if (w == "ansi") {
            documentCodePage_ = 1252;
        } else if (w == "mac") {
            documentCodePage_ = 10000;
        } else if (w == "pc") {
            documentCodePage_ = 437;
        } else if (w == "pca") {
            documentCodePage_ = 850;
        } else if (w == "deff") {
            defaultFont_ = value;
        }
        // Character formatting
        else if (w == "f") {
            state_.codePage = fontCodePages_.value(value, 0);
        } else if (w == "b") {
            state_.bold = on;
        } else if (w == "i") {
            state_.italic = on;
        } else if (w == "ul" || w == "uld" || w == "uldash" || w == "uldashd" || w == "uldashdd" ||
                   w == "uldb" || w == "ulth" || w == "ulw" || w == "ulwave" || w == "ulhwave" ||
                   w == "ululdbwave") {
            state_.underline = on;
        } else if (w == "ulnone") {
            state_.underline = false;
        } else if (w == "fs") {
            state_.pointSize = hasParam && value > 0 ? std::min(value, 3276) / 2.0 : 0;
        } else if (w == "plain") {
            state_.bold = state_.italic = state_.underline = false;
            state_.pointSize = 0;
            state_.codePage = fontCodePages_.value(defaultFont_, 0);
        } else if (w == "uc") {
            state_.unicodeSkip = std::clamp(value, 0, 255);
        } else if (w == "u") {
            if (hasParam && dest != Destination::fontTable) {
                const int unit = value < 0 ? value + 65536 : value;
                if (unit > 0 && unit <= 0xFFFF)
                    emitText(QString(QChar(char16_t(unit))));
                else if (unit != 0)
                    emitText(QString(QChar::ReplacementCharacter));
            }
            fallbackLeft_ = state_.unicodeSkip;
        }
        // Breaks and special characters
        else if (const char16_t special = specialCharacter(w)) {
            emitText(QString(QChar(special)));
        }
    }

    static char16_t specialCharacter(const QByteArray& w) {
        static const QHash<QByteArray, char16_t> table = {
            {"par", u'\n'},      {"line", u'\n'},     {"softline", u'\n'},   {"sect", u'\n'},
            {"page", u'\n'},     {"row", u'\n'},      {"nestrow", u'\n'},    {"tab", u'\t'},
            {"cell", u'\t'},     {"nestcell", u'\t'}, {"emdash", 0x2014},    {"endash", 0x2013},
            {"emspace", 0x2003}, {"enspace", 0x2002}, {"qmspace", 0x2005},   {"bullet", 0x2022},
            {"lquote", 0x2018},  {"rquote", 0x2019},  {"ldblquote", 0x201C}, {"rdblquote", 0x201D},
            {"zwj", 0x200D},     {"zwnj", 0x200C},    {"ltrmark", 0x200E},   {"rtlmark", 0x200F},
        };
        return table.value(w, 0);
    }

    static bool isSkippedDestination(const QByteArray& w) {
        static const QSet<QByteArray> words = {
            "colortbl",
            "expandedcolortbl",
            "stylesheet",
            "info",
            "pict",
            "object",
            "objdata",
            "header",
            "headerl",
            "headerr",
            "headerf",
            "footer",
            "footerl",
            "footerr",
            "footerf",
            "footnote",
            "annotation",
            "atnid",
            "atnauthor",
            "bkmkstart",
            "bkmkend",
            "listtable",
            "listoverridetable",
            "rsidtbl",
            "revtbl",
            "generator",
            "xmlnstbl",
            "themedata",
            "colorschememapping",
            "datastore",
            "latentstyles",
            "pgdsctbl",
            "filetbl",
            "mmathPr",
            "nonshppict",
            "shppict",
            "shpinst",
            "sp",
            "sn",
            "sv",
            "txe",
            "xe",
            "tc",
            "private",
            "template",
            "userprops",
            "docvar",
            "ftnsep",
            "ftnsepc",
            "ftncn",
            "aftnsep",
            "aftnsepc",
            "aftncn",
            "fontemb",
            "fontfile",
            "passwordhash",
            "wgrffmtfilter",
            "listpicture",
            "blipuid",
        };
        return words.contains(w);
    }

    // Words after \* that this reader understands, so their group is not dropped.
    static bool isKnownWord(const QByteArray& w) {
        return w == "fldinst" || w == "fldrslt" || w == "field" || w == "fonttbl" || w == "u" ||
               w == "uc" || specialCharacter(w) != 0;
    }

    // Characters after \uN that stand in for it in older readers.
    bool consumeFallback() {
        if (fallbackLeft_ <= 0)
            return false;
        --fallbackLeft_;
        return true;
    }

    int activeCodePage() const { return state_.codePage > 0 ? state_.codePage : documentCodePage_; }

    // Bytes of the code page are gathered so that double-byte characters split over
    // two \'hh escapes decode as one.
    void addByte(char byte) {
        const bool text =
            ignoredDepth_ == 0 && (state_.destination == Destination::text ||
                                   state_.destination == Destination::fieldInstruction);
        if (!text)
            return;
        const int codePage = activeCodePage();
        if (!pending_.isEmpty() && codePage != pendingCodePage_)
            flushBytes();
        pendingCodePage_ = codePage;
        pending_.append(byte);
    }

    void flushBytes() {
        if (pending_.isEmpty())
            return;
        const QByteArray bytes = std::exchange(pending_, QByteArray());
        emitDecoded(decode(bytes, pendingCodePage_));
    }

    QString decode(const QByteArray& bytes, int codePage) {
        if (codePage != kDefaultCodePage) {
            auto it = decoders_.find(codePage);
            if (it == decoders_.end())
                it = decoders_
                         .emplace(codePage, std::make_unique<QStringDecoder>(
                                                converterName(codePage).constData()))
                         .first;
            QStringDecoder& decoder = *it->second;
            if (decoder.isValid()) {
                QString text = decoder.decode(bytes);
                decoder.resetState();
                return text;
            }
        }
        QString text;
        text.reserve(bytes.size());
        for (char b : bytes) {
            const auto u = static_cast<unsigned char>(b);
            text.append(u >= 0x80 && u < 0xA0 ? QChar(kCp1252High[u - 0x80]) : QChar(u));
        }
        return text;
    }

    void emitText(const QString& text) {
        flushBytes();
        emitDecoded(text);
    }

    void emitDecoded(const QString& text) {
        if (ignoredDepth_ > 0 || text.isEmpty())
            return;
        if (state_.destination == Destination::fieldInstruction) {
            QString& instruction = fieldInstructions_[state_.field];
            if (instruction.size() < 4096)
                instruction += text;
            return;
        }
        if (state_.destination != Destination::text)
            return;
        RtfRun style;
        style.bold = state_.bold;
        style.italic = state_.italic;
        style.underline = state_.underline;
        style.pointSize = state_.pointSize;
        style.link = state_.link;
        if (runs_.isEmpty() || !runs_.last().sameStyle(style)) {
            style.text = text;
            runs_.append(std::move(style));
        } else {
            runs_.last().text += text;
        }
    }

    const char* p_;
    const char* end_;
    bool finished_ = false;
    GroupState state_;
    std::vector<GroupState> stack_;
    int ignoredDepth_ = 0;
    bool ignorableNext_ = false;
    int fallbackLeft_ = 0;
    int documentCodePage_ = kDefaultCodePage;
    int defaultFont_ = -1;
    int fontBeingDefined_ = -1;
    QHash<int, int> fontCodePages_;
    std::vector<QString> fieldInstructions_;
    QByteArray pending_;
    int pendingCodePage_ = kDefaultCodePage;
    std::map<int, std::unique_ptr<QStringDecoder>> decoders_;
    QList<RtfRun> runs_;
};

} // namespace

QString RtfDocument::plainText() const {
    QString text;
    for (const RtfRun& run : runs)
        text += run.text;
    return text;
}

RtfDocument parseRtf(const QByteArray& bytes) {
    return Parser(bytes).parse();
}

void fillTextDocument(QTextDocument& target, const RtfDocument& document) {
    target.clear();
    QTextCursor cursor(&target);
    for (const RtfRun& run : document.runs) {
        QTextCharFormat format;
        format.setFontWeight(run.bold ? QFont::Bold : QFont::Normal);
        format.setFontItalic(run.italic);
        format.setFontUnderline(run.underline);
        if (run.pointSize > 0)
            format.setFontPointSize(run.pointSize);
        if (!run.link.isEmpty()) {
            format.setAnchor(true);
            format.setAnchorHref(run.link);
        }
        cursor.insertText(run.text, format);
    }
}
