#include "strip/FavoritesEditorWindow.h"

#include "common/Symbols.h"
#include "common/Texts.h"
#include "strip/FavoritesDropTableView.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

namespace {
constexpr QSize kContentSize(560, 440);
constexpr QSize kMinimumContentSize(480, 280);
constexpr int kRowHeight = 28;
constexpr int kCellTextInset = 4;
constexpr QSize kIconSize(16, 16); // what the stores size their icons to
constexpr QSize kSymbolButtonSize(40, 30);
constexpr int kButtonHeight = 30;

const FavoritesEditorColumn& column(FavoritesTableModel::Column c) {
    return favoritesEditorColumns[size_t(c)];
}

// Rows read as a whole: no focus frame around single cells, the icon centred in its column
// and never drawn larger than it is, labels inset from the cell's edges and cut off at the end.
class FavoritesCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        opt.state &= ~QStyle::State_HasFocus;
        const QString text = opt.text;
        const QIcon icon = opt.icon;
        opt.text.clear();
        opt.icon = QIcon();
        opt.features &= ~(QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration);
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

        const bool selected = opt.state & QStyle::State_Selected;
        if (!icon.isNull()) {
            QSize size = icon.actualSize(kIconSize.boundedTo(opt.rect.size()));
            QRect target(QPoint(), size);
            target.moveCenter(opt.rect.center());
            icon.paint(painter, target, Qt::AlignCenter,
                       opt.state & QStyle::State_Enabled ? QIcon::Normal : QIcon::Disabled);
        }
        if (!text.isEmpty()) {
            const QRect area = opt.rect.adjusted(kCellTextInset, 0, -kCellTextInset, 0);
            const QPalette::ColorGroup group =
                !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                : (opt.state & QStyle::State_Active) ? QPalette::Active
                                                     : QPalette::Inactive;
            painter->save();
            painter->setFont(opt.font);
            painter->setPen(
                opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
            const QString shown = opt.fontMetrics.elidedText(text, Qt::ElideRight, area.width());
            painter->drawText(area, int(Qt::AlignLeading | Qt::AlignVCenter) | Qt::TextSingleLine,
                              shown);
            painter->restore();
        }
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(kRowHeight);
        return size;
    }
};

// The secondary label colour: the window text blended toward the window background.
QColor secondaryTextColor(const QPalette& palette) {
    const QColor text = palette.color(QPalette::Active, QPalette::WindowText);
    const QColor back = palette.color(QPalette::Active, QPalette::Window);
    constexpr float share = 0.58f;
    auto mix = [](float a, float b) {
        return a * share + b * (1 - share);
    };
    return QColor::fromRgbF(mix(text.redF(), back.redF()), mix(text.greenF(), back.greenF()),
                            mix(text.blueF(), back.blueF()));
}

// The system font at a size given against a 13-point body text.
QFont systemFontOfSize(qreal size) {
    QFont font = QApplication::font();
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * size / 13);
    else
        font.setPixelSize(qMax(1, qRound(font.pixelSize() * size / 13)));
    return font;
}

QPushButton* makeSymbolButton(const char* symbol, const QString& accessibility,
                              const QString& tooltip, QWidget* parent) {
    auto* button = new QPushButton(parent);
    button->setIcon(symbolIcon(QString::fromLatin1(symbol)));
    button->setIconSize(kIconSize);
    button->setFixedSize(kSymbolButtonSize);
    button->setAccessibleName(accessibility);
    button->setToolTip(tooltip);
    button->setAutoDefault(false);
    return button;
}
} // namespace

FavoritesEditorWindow::FavoritesEditorWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                          Qt::CustomizeWindowHint | Qt::WindowStaysOnTopHint) {
    setWindowTitle(L("strip.editor.title"));
    // Whoever opened the window lets it go once it has closed.
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAttribute(Qt::WA_QuitOnClose, false);

    auto* hint = new QLabel(L("strip.editor.hint"), this);
    hint->setWordWrap(true);
    hint->setFont(systemFontOfSize(12));
    QPalette hintPalette = hint->palette();
    hintPalette.setColor(QPalette::WindowText, secondaryTextColor(hintPalette));
    hint->setPalette(hintPalette);
    // 16 from the window's edges: the layout's 12 plus these 4.
    hint->setContentsMargins(4, 0, 4, 0);

    model_ = new FavoritesTableModel(this);
    table_ = new FavoritesDropTableView(this);
    table_->setModel(model_);
    table_->setItemDelegate(new FavoritesCellDelegate(table_));
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setAlternatingRowColors(true);
    table_->setShowGrid(false);
    table_->setWordWrap(false);
    table_->setTextElideMode(Qt::ElideRight);
    table_->setIconSize(kIconSize);
    table_->setCornerButtonEnabled(false);
    table_->setFrameShape(QFrame::StyledPanel);
    table_->setFrameShadow(QFrame::Sunken);
    table_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    QHeaderView* rowHeader = table_->verticalHeader();
    rowHeader->hide();
    rowHeader->setMinimumSectionSize(kRowHeight);
    rowHeader->setDefaultSectionSize(kRowHeight);
    rowHeader->setSectionResizeMode(QHeaderView::Fixed);
    configureColumns();
    table_->viewport()->installEventFilter(this);
    connect(table_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid() && index.row() < model_->rows().size())
            // A copy: opening may lead to new rows.
            Q_EMIT openRequested(FavoritesEditorRow(model_->rows()[index.row()]));
    });
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &FavoritesEditorWindow::updateRemoveButton);
    connect(table_, &FavoritesDropTableView::urlsDropped, this,
            &FavoritesEditorWindow::urlsDropped);

    auto* addButton = makeSymbolButton("plus", L("strip.editor.addAccessibility"),
                                       L("strip.editor.addTooltip"), this);
    connect(addButton, &QPushButton::clicked, this, &FavoritesEditorWindow::addRequested);
    removeButton_ = makeSymbolButton("minus", L("strip.editor.removeAccessibility"),
                                     L("strip.editor.removeTooltip"), this);
    connect(removeButton_, &QPushButton::clicked, this, &FavoritesEditorWindow::removeSelectedRows);
    auto* doneButton = new QPushButton(L("strip.editor.doneButton"), this);
    doneButton->setDefault(true);
    doneButton->setMinimumSize(88, kButtonHeight);
    connect(doneButton, &QPushButton::clicked, this, &QWidget::close);
    // From anywhere in the window: Return and Escape as Done, Delete and Backspace as −.
    const auto close = [this] {
        QWidget::close();
    };
    const auto remove = [this] {
        removeSelectedRows();
    };
    const std::pair<Qt::Key, std::function<void()>> keys[] = {
        {Qt::Key_Return, close},  {Qt::Key_Enter, close},      {Qt::Key_Escape, close},
        {Qt::Key_Delete, remove}, {Qt::Key_Backspace, remove},
    };
    for (const auto& [key, action] : keys) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, action);
    }

    auto* buttonRow = new QHBoxLayout;
    buttonRow->setSpacing(10);
    buttonRow->addWidget(addButton, 0, Qt::AlignVCenter);
    buttonRow->addWidget(removeButton_, 0, Qt::AlignVCenter);
    buttonRow->addStretch(1);
    buttonRow->addWidget(doneButton, 0, Qt::AlignVCenter);

    auto* content = new QVBoxLayout(this);
    content->setContentsMargins(12, 12, 12, 12);
    content->setSpacing(0);
    content->addWidget(hint);
    content->addSpacing(8);
    content->addWidget(table_, 1);
    content->addSpacing(10);
    content->addLayout(buttonRow);

    // Not resizable: the content keeps its size, which is above the smallest it may have.
    static_assert(kContentSize.width() >= kMinimumContentSize.width() &&
                  kContentSize.height() >= kMinimumContentSize.height());
    setFixedSize(kContentSize);
    updateRemoveButton();
}

FavoritesEditorWindow::~FavoritesEditorWindow() {
    // The table goes after this class's part of the window: what it reports while it goes
    // no longer reaches here.
    table_->viewport()->removeEventFilter(this);
    table_->disconnect(this);
    table_->selectionModel()->disconnect(this);
    table_->horizontalHeader()->disconnect(this);
}

void FavoritesEditorWindow::setRows(QList<FavoritesEditorRow> rows) {
    model_->setRows(std::move(rows));
    updateRemoveButton();
}

void FavoritesEditorWindow::present(const QRect& area) {
    QRect frame(QPoint(), size());
    frame.moveCenter(area.center());
    move(frame.topLeft());
    show();
    raise();
    activateWindow();
}

void FavoritesEditorWindow::configureColumns() {
    using Column = FavoritesTableModel::Column;
    QHeaderView* header = table_->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignLeading | Qt::AlignVCenter);
    header->setHighlightSections(false);
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setMinimumSectionSize(column(Column::iconColumn).minimumWidth);
    // The widths are kept here: only the name column's edge can be dragged, and the last
    // column takes up every change, of the name column or of the table's width.
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setSectionResizeMode(Column::nameColumn, QHeaderView::Interactive);
    header->resizeSection(Column::iconColumn, column(Column::iconColumn).width);
    header->resizeSection(Column::typeColumn, column(Column::typeColumn).width);
    connect(header, &QHeaderView::sectionResized, this, [this](int section, int, int newSize) {
        if (section == Column::nameColumn)
            layoutColumns(newSize);
    });
}

void FavoritesEditorWindow::layoutColumns(std::optional<int> requestedName) {
    using Column = FavoritesTableModel::Column;
    if (layingOutColumns_)
        return;
    const QScopedValueRollback guard(layingOutColumns_, true);
    QHeaderView* header = table_->horizontalHeader();
    const int available = table_->viewport()->width() - column(Column::iconColumn).width;
    int name = requestedName.value_or(header->sectionSize(Column::nameColumn));
    if (!columnsFitted_) {
        // At first the name column takes what the type column's width leaves.
        name = available - column(Column::typeColumn).width;
        columnsFitted_ = true;
    }
    name = std::min(name, available - column(Column::typeColumn).minimumWidth);
    name = std::max(name, column(Column::nameColumn).minimumWidth);
    const int type = std::max(available - name, column(Column::typeColumn).minimumWidth);
    header->resizeSection(Column::nameColumn, name);
    header->resizeSection(Column::typeColumn, type);
}

void FavoritesEditorWindow::removeSelectedRows() {
    QList<FavoritesEditorRow> rows;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows())
        if (index.row() < model_->rows().size())
            rows << model_->rows()[index.row()];
    if (!rows.isEmpty())
        Q_EMIT removeRequested(rows);
}

void FavoritesEditorWindow::updateRemoveButton() {
    removeButton_->setEnabled(table_->selectionModel()->hasSelection());
}

void FavoritesEditorWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted())
        Q_EMIT closed();
}

bool FavoritesEditorWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && watched == table_->viewport())
        layoutColumns(std::nullopt);
    return QWidget::eventFilter(watched, event);
}
