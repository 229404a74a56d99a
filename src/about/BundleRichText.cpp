#include "about/BundleRichText.h"

#include "common/RtfReader.h"
#include "platform/Bundle.h"

#include <QFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

// Far above any real credits or licence text; a larger file is not one of ours.
constexpr qint64 kMaxResourceBytes = 8 * 1024 * 1024;

void underlineLinks(QTextDocument& document) {
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid() || !fragment.charFormat().isAnchor())
                continue;
            QTextCursor cursor(&document);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            QTextCharFormat underline;
            underline.setFontUnderline(true);
            cursor.mergeCharFormat(underline);
        }
    }
}

} // namespace

bool loadBundleRichText(const Bundle& bundle, const QString& name, QTextDocument& document) {
    const QString path = bundle.resourcePath(name, QStringLiteral("rtf"));
    if (path.isEmpty())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxResourceBytes)
        return false;
    const QByteArray bytes = file.read(kMaxResourceBytes + 1);
    if (bytes.size() > kMaxResourceBytes)
        return false;
    const RtfDocument rtf = parseRtf(bytes);
    if (!rtf.valid || rtf.plainText().trimmed().isEmpty())
        return false;
    const bool undo = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false);
    fillTextDocument(document, rtf);
    underlineLinks(document);
    document.setUndoRedoEnabled(undo);
    return true;
}
