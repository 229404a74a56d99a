#include "about/AboutCreditsTextView.h"

#include "about/AboutStyle.h"
#include "about/ApplicationInfo.h"
#include "about/BundleRichText.h"
#include "common/Texts.h"
#include "common/WebPages.h"

#include <QEvent>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>

namespace {
const QString kVersionPlaceholder = QStringLiteral("<versionString>");
} // namespace

AboutCreditsTextView::AboutCreditsTextView(Bundle& bundle, Workspace& workspace, QWidget* parent)
    : QTextBrowser(parent), bundle_(bundle), workspace_(workspace) {
    setFrameShape(QFrame::NoFrame);
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse);
    setFocusPolicy(Qt::ClickFocus);
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QTextEdit::WidgetWidth);
    // The window's background shows through, and a slim scroller stays out of the text's way.
    viewport()->setAutoFillBackground(false);
    verticalScrollBar()->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { width: 10px; background: transparent; margin: 0; }"
        "QScrollBar::handle:vertical { background: rgba(128, 128, 128, 110); border-radius: 3px;"
        " min-height: 28px; margin: 2px 2px 2px 2px; }"
        "QScrollBar::handle:vertical:hover { background: rgba(128, 128, 128, 170); }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; border: none; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));
    document()->setUndoRedoEnabled(false);
    document()->setDocumentMargin(4);

    connect(this, &QTextBrowser::anchorClicked, this,
            [this](const QUrl& url) { openWebPage(workspace_, url); });
    loadCredits();
}

void AboutCreditsTextView::loadCredits() {
    QTextDocument& doc = *document();
    doc.setDefaultFont(systemFontOfSize(12));
    unavailable_ = !loadBundleRichText(bundle_, QStringLiteral("AboutText"), doc);
    if (unavailable_)
        doc.setPlainText(L("about.credits.unavailable"));

    // Only the first placeholder is the version; a second one is left as written.
    const ApplicationInfo info = ApplicationInfo::read(bundle_);
    if (info.hasShortVersion) {
        QTextCursor found = doc.find(kVersionPlaceholder, 0, QTextDocument::FindCaseSensitively);
        if (!found.isNull())
            found.insertText(info.shortVersion);
    }
    applySecondaryColor();
    // Loading moved the view's own cursor to the end; the credits start at the top.
    setTextCursor(QTextCursor(&doc));
}

void AboutCreditsTextView::applySecondaryColor() {
    QTextDocument& doc = *document();
    if (doc.isEmpty())
        return;
    QTextCursor all(&doc);
    all.select(QTextCursor::Document);
    QTextCharFormat color;
    color.setForeground(secondaryTextColor(palette()));
    all.mergeCharFormat(color);
}

void AboutCreditsTextView::changeEvent(QEvent* event) {
    QTextBrowser::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applySecondaryColor();
}
