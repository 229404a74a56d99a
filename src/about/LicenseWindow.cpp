#include "about/LicenseWindow.h"

#include "about/BundleRichText.h"
#include "common/Texts.h"
#include "common/WebPages.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTextBrowser>
#include <QTextCursor>
#include <QVBoxLayout>

LicenseWindow::LicenseWindow(Bundle& bundle, Workspace& workspace)
    : DialogWindow(QStringLiteral("LicenseWindow"), L("license.title")) {

    text_ = new QTextBrowser(this);
    text_->setOpenLinks(false);
    text_->setTextInteractionFlags(Qt::TextBrowserInteraction);
    text_->document()->setUndoRedoEnabled(false);
    text_->document()->setDocumentMargin(14);
    connect(text_, &QTextBrowser::anchorClicked, this,
            [&workspace](const QUrl& url) { openWebPage(workspace, url); });
    unavailable_ =
        !loadBundleRichText(bundle, QStringLiteral("LicenseAgreement"), *text_->document());
    if (unavailable_)
        text_->setPlainText(L("license.unavailable"));
    // The agreement is read from its first line.
    text_->setTextCursor(QTextCursor(text_->document()));

    close_ = new QPushButton(L("license.close"), this);
    close_->setDefault(true);
    connect(close_, &QPushButton::clicked, this, &QWidget::close);
    // Closed from the keyboard like the About window.
    for (const QKeySequence& key :
         {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)})
        connect(new QShortcut(key, this), &QShortcut::activated, this, &QWidget::close);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(12);
    layout->addWidget(text_, 1);
    layout->addLayout(buttons);

    setMinimumSize(kMinimumSize);
    resize(kInitialSize);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

LicenseWindowKeeper::~LicenseWindowKeeper() {
    if (window_ && QCoreApplication::instance())
        delete window_.data();
}

void LicenseWindowKeeper::show() {
    if (window_ && window_->isVisible()) {
        if (window_->isMinimized())
            window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
        window_->raise();
        window_->activateWindow();
        return;
    }
    if (window_)
        delete window_.data(); // hidden, so no event of its own is under way
    window_ = new LicenseWindow(bundle_, workspace_);
    window_->show();
    window_->raise();
    window_->activateWindow();
    window_->closeButton()->setFocus(Qt::ActiveWindowFocusReason);
}
