#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class QTextDocument;

// A stretch of text with one style. Paragraph and line breaks are '\n', tabs '\t'.
struct RtfRun {
    QString text;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    qreal pointSize = 0; // 0: the reader's default size
    QString link;        // target of a HYPERLINK field, or empty

    bool sameStyle(const RtfRun& other) const {
        return bold == other.bold && italic == other.italic && underline == other.underline &&
               pointSize == other.pointSize && link == other.link;
    }
    friend bool operator==(const RtfRun&, const RtfRun&) = default;
};

// What an RTF document says, reduced to styled text. Pictures, objects, tables' layout,
// colours and fonts are left out.
struct RtfDocument {
    // False when the bytes do not start an RTF document; runs are then empty.
    bool valid = false;
    // Adjacent runs never share a style; no run is empty.
    QList<RtfRun> runs;

    QString plainText() const;
};

// Reads RTF bytes of any origin: broken or hostile input gives whatever text could be
// recovered, never a crash, and memory in proportion to the input.
RtfDocument parseRtf(const QByteArray& bytes);

// Replaces the document's content with the runs.
void fillTextDocument(QTextDocument& target, const RtfDocument& document);
