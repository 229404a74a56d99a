#include "about/AboutView.h"

#include "about/AboutCreditsTextView.h"
#include "about/AboutStyle.h"
#include "about/ApplicationInfo.h"
#include "about/LinkButton.h"
#include "common/Symbols.h"
#include "common/Texts.h"
#include "common/WebPages.h"
#include "platform/Bundle.h"

#include <QEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace {

constexpr int kIconSize = 128;
constexpr int kSymbolSize = 72;
constexpr int kCreditsMaxHeight = 200;

// A hairline across the window, a little darker than the background in any palette.
class Divider : public QWidget {
public:
    explicit Divider(QWidget* parent) : QWidget(parent) {
        setFixedHeight(1);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QColor line = palette().color(QPalette::WindowText);
        line.setAlphaF(0.12f);
        painter.fillRect(rect(), line);
    }
};

// The bundle's icon: a resource of the bundle, else one compiled into the program.
QIcon bundleIcon(const Bundle& bundle, const QString& iconName) {
    if (iconName.isEmpty())
        return {};
    for (const QString& extension : {QStringLiteral("svg"), QStringLiteral("png")}) {
        const QString path = bundle.resourcePath(iconName, extension);
        if (!path.isEmpty())
            return QIcon(path);
    }
    for (const QString& extension : {QStringLiteral("svg"), QStringLiteral("png")}) {
        const QString path = QStringLiteral(":/icons/%1.%2").arg(iconName, extension);
        if (QFile::exists(path))
            return QIcon(path);
    }
    return {};
}

// The icon drawn from its largest rendition (the first among equals), so the header never
// shows an upscaled small one; scalable icons render at the target size directly.
QPixmap largestRendition(const QIcon& icon, qreal dpr) {
    const int target = qRound(kIconSize * dpr);
    const QList<QSize> sizes = icon.availableSizes();
    QPixmap pixmap;
    if (sizes.isEmpty()) {
        pixmap = icon.pixmap(QSize(kIconSize, kIconSize), dpr);
    } else {
        QSize largest = sizes.first();
        for (const QSize& size : sizes) {
            if (size.width() > largest.width())
                largest = size;
        }
        pixmap = icon.pixmap(largest, 1.0);
    }
    if (pixmap.isNull())
        return {};
    if (pixmap.width() != target || pixmap.height() != target)
        pixmap = pixmap.scaled(target, target, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    pixmap.setDevicePixelRatio(dpr);
    return pixmap;
}

// The stand-in for a missing icon: the theme's generic application icon, or the bundled
// glyph in the secondary colour, centred in the icon's frame.
QPixmap standInIcon(const QColor& color, qreal dpr) {
    const QIcon symbol = symbolIcon(QStringLiteral("hare.fill"));
    if (!symbol.name().isEmpty())
        return largestRendition(symbol, dpr);
    QPixmap glyph = symbol.pixmap(QSize(kSymbolSize, kSymbolSize), dpr);
    {
        QPainter tint(&glyph);
        tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
        tint.fillRect(glyph.rect(), color);
    }
    QPixmap framed(qRound(kIconSize * dpr), qRound(kIconSize * dpr));
    framed.setDevicePixelRatio(dpr);
    framed.fill(Qt::transparent);
    QPainter painter(&framed);
    const QSizeF glyphSize = glyph.deviceIndependentSize();
    painter.drawPixmap(
        QPointF((kIconSize - glyphSize.width()) / 2, (kIconSize - glyphSize.height()) / 2), glyph);
    return framed;
}

QLabel* centredLabel(const QString& text, const QFont& font, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->setAlignment(Qt::AlignHCenter);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

AboutView::AboutView(Bundle& bundle, Workspace& workspace, QWidget* parent)
    : QWidget(parent), bundle_(bundle), workspace_(workspace) {
    setFixedSize(kWidth, kHeight);
    setAutoFillBackground(true);
    const ApplicationInfo info = ApplicationInfo::read(bundle);

    auto* header = new QVBoxLayout;
    header->setSpacing(12);
    header->setContentsMargins(0, 36, 0, 20);
    icon_ = new QLabel(this);
    icon_->setFixedSize(kIconSize, kIconSize);
    icon_->setAlignment(Qt::AlignCenter);
    header->addWidget(icon_, 0, Qt::AlignHCenter);
    name_ = centredLabel(info.name, systemFontOfSize(28, QFont::DemiBold), this);
    header->addWidget(name_);
    version_ = centredLabel(L("about.version").arg(info.shortVersion, info.build),
                            systemFontOfSize(13), this);
    version_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    header->addWidget(version_);

    auto* creditsBox = new QVBoxLayout;
    creditsBox->setContentsMargins(36, 16, 36, 16);
    credits_ = new AboutCreditsTextView(bundle, workspace, this);
    credits_->setMaximumHeight(kCreditsMaxHeight);
    credits_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    creditsBox->addWidget(credits_);

    auto* footer = new QVBoxLayout;
    footer->setSpacing(12);
    footer->setContentsMargins(24, 20, 24, 20);
    copyright_ = centredLabel(info.copyright, systemFontOfSize(11), this);
    copyright_->setWordWrap(true);
    footer->addWidget(copyright_);
    auto* linkRow = new QHBoxLayout;
    linkRow->setSpacing(20);
    linkRow->addStretch();
    const struct {
        const char* key;
        QUrl (*page)();
    } pages[] = {
        {QT_TRID_NOOP("about.link.website"), &peloraHomePageURL},
        {QT_TRID_NOOP("about.link.privacy"), &peloraPrivacyPageURL},
        {QT_TRID_NOOP("about.link.support"), &peloraSupportPageURL},
    };
    for (const auto& page : pages) {
        auto* link = new LinkButton(L(page.key), this);
        link->setObjectName(QLatin1String(page.key));
        link->setFont(systemFontOfSize(11));
        connect(link, &LinkButton::clicked, this,
                [this, url = page.page()] { openWebPage(workspace_, url); });
        linkRow->addWidget(link);
        links_ << link;
    }
    linkRow->addStretch();
    footer->addLayout(linkRow);

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    stack->addStretch(1);
    stack->addLayout(header);
    stack->addWidget(new Divider(this));
    stack->addLayout(creditsBox, 100);
    stack->addWidget(new Divider(this));
    stack->addLayout(footer);
    stack->addStretch(1);

    applySecondaryColors();
}

void AboutView::updateIcon() {
    const qreal dpr = devicePixelRatioF();
    const ApplicationInfo info = ApplicationInfo::read(bundle_);
    QPixmap pixmap = largestRendition(bundleIcon(bundle_, info.iconName), dpr);
    hasApplicationIcon_ = !pixmap.isNull();
    if (!hasApplicationIcon_)
        pixmap = standInIcon(secondaryTextColor(palette()), dpr);
    icon_->setPixmap(pixmap);
}

void AboutView::applySecondaryColors() {
    const QColor secondary = secondaryTextColor(palette());
    for (QLabel* label : {version_, copyright_}) {
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, secondary);
        p.setColor(QPalette::Text, secondary);
        label->setPalette(p);
    }
    updateIcon();
}

void AboutView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Palette changes arrive during construction too, before the labels exist.
    if (event->type() == QEvent::PaletteChange && copyright_)
        applySecondaryColors();
}
