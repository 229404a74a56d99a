#include "settings/VersionCheckUpdateView.h"

#include "common/Symbols.h"
#include "common/Texts.h"
#include "settings/PeloraUpdatePreferences.h"
#include "settings/SettingsWidgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// The download symbol at 48 points in the secondary text colour.
QPixmap downloadSymbol(const QWidget* widget) {
    const qreal dpr = widget->devicePixelRatioF();
    QPixmap pixmap(QSize(48, 48) * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    bundledSymbolIcon(QStringLiteral("arrow.down.circle")).paint(&p, QRect(0, 0, 48, 48));
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    QColor color = widget->palette().color(QPalette::WindowText);
    color.setAlphaF(0.5);
    p.fillRect(QRect(0, 0, 48, 48), color);
    return pixmap;
}
} // namespace

VersionCheckUpdateView::VersionCheckUpdateView(PeloraUpdatePreferences& preferences,
                                               const QString& title, const QString& versionLine,
                                               const QString& info, QWidget* parent)
    : QWidget(parent), preferences_(preferences), title_(new QLabel(title)),
      versionLine_(new QLabel(versionLine)), checking_(new QPushButton),
      cancel_(new QPushButton(L("updates.window.cancel"))), ok_(new QPushButton(L("buttonOK"))) {
    setMinimumWidth(460);
    setMaximumWidth(480);
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(20, 20, 20, 20);
    stack->setSpacing(16);

    auto* top = new QHBoxLayout;
    top->setSpacing(16);
    auto* symbol = new QLabel;
    symbol->setPixmap(downloadSymbol(this));
    symbol->setFixedSize(48, 48);
    symbol->setAccessibleName(QString()); // decoration only
    top->addWidget(symbol, 0, Qt::AlignTop);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(6);
    QFont headline = title_->font();
    headline.setWeight(QFont::Bold);
    headline.setPointSizeF(headline.pointSizeF() * 1.08);
    title_->setFont(headline);
    title_->setWordWrap(true);
    title_->setTextFormat(Qt::PlainText);
    versionLine_->setWordWrap(true);
    versionLine_->setTextFormat(Qt::PlainText);
    applySecondaryStyle(versionLine_);
    texts->addWidget(title_);
    texts->addWidget(versionLine_);
    if (!info.isEmpty()) {
        info_ = new QLabel(info);
        info_->setWordWrap(true);
        info_->setTextFormat(Qt::PlainText);
        info_->setTextInteractionFlags(Qt::TextSelectableByMouse);
        texts->addSpacing(2);
        texts->addWidget(info_);
    }
    texts->addStretch(1);
    top->addLayout(texts, 1);
    stack->addLayout(top, 1);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    checking_->setAutoDefault(false);
    cancel_->setAutoDefault(false);
    ok_->setDefault(true);
    ok_->setAutoDefault(true);
    ok_->setMinimumWidth(80);
    cancel_->setMinimumWidth(80);
    // The prominent style of the default button: filled with the accent colour.
    const QPalette& pal = palette();
    ok_->setStyleSheet(
        QStringLiteral("QPushButton { background: %1; color: %2; border: 1px solid %3;"
                       " border-radius: 5px; padding: 4px 14px; font-weight: 600; }"
                       "QPushButton:hover { background: %4; }"
                       "QPushButton:pressed { background: %3; }"
                       "QPushButton:focus { border: 1px solid %3; }")
            .arg(pal.color(QPalette::Highlight).name(), pal.color(QPalette::HighlightedText).name(),
                 pal.color(QPalette::Highlight).darker(125).name(),
                 pal.color(QPalette::Highlight).lighter(110).name()));
    buttons->addWidget(checking_);
    buttons->addStretch(1);
    buttons->addWidget(cancel_);
    buttons->addWidget(ok_);
    stack->addLayout(buttons);

    updateCheckingButton();
    connect(checking_, &QPushButton::clicked, this,
            [this] { preferences_.setAutoCheckForUpdates(!preferences_.autoCheckForUpdates()); });
    connect(&preferences_, &PeloraUpdatePreferences::autoCheckForUpdatesChanged, this,
            &VersionCheckUpdateView::updateCheckingButton);
    connect(cancel_, &QPushButton::clicked, this, &VersionCheckUpdateView::cancelClicked);
    connect(ok_, &QPushButton::clicked, this, &VersionCheckUpdateView::okClicked);
}

void VersionCheckUpdateView::updateCheckingButton() {
    const bool on = preferences_.autoCheckForUpdates();
    checking_->setText(on ? L("updates.window.disableChecking")
                          : L("updates.window.enableChecking"));
    checking_->setToolTip(on ? L("updates.window.disableChecking.tip")
                             : L("updates.window.enableChecking.tip"));
}
