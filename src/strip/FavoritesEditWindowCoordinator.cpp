#include "strip/FavoritesEditWindowCoordinator.h"

#include "common/FileURL.h"
#include "common/Symbols.h"
#include "common/Texts.h"
#include "favorites/FavoritesService.h"
#include "platform/BookmarkService.h"
#include "platform/Dialogs.h"
#include "platform/RunningApplications.h"
#include "platform/Screens.h"
#include "strip/FavoritesDropTableView.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <algorithm>

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

FavoritesEditWindowCoordinator::FavoritesEditWindowCoordinator(
    FileSystem& fileSystem, BookmarkService& bookmarks, RunningApplications& runningApplications,
    Dialogs& dialogs, Screens& screens, FavoriteStores& favorites, QObject* owner)
    : QObject(owner), fileSystem_(fileSystem), bookmarks_(bookmarks),
      runningApplications_(runningApplications), dialogs_(dialogs), screens_(screens),
      favorites_(favorites), owner_(owner) {
    editorWindow_ = std::make_unique<QWidget>(
        nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                     Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                     Qt::CustomizeWindowHint | Qt::WindowStaysOnTopHint);
    editorWindow_->setWindowTitle(L("strip.editor.title"));
    // The coordinator keeps the window; closing only hides it until the coordinator goes.
    editorWindow_->setAttribute(Qt::WA_DeleteOnClose, false);
    editorWindow_->setAttribute(Qt::WA_QuitOnClose, false);
    editorWindow_->installEventFilter(this);
    buildContent();
}

FavoritesEditWindowCoordinator::~FavoritesEditWindowCoordinator() {
    // The window goes first, and what it reports while it goes no longer reaches here.
    editorWindow_->removeEventFilter(this);
    tableView_->viewport()->removeEventFilter(this);
    tableView_->disconnect(this);
    tableView_->selectionModel()->disconnect(this);
    tableView_->horizontalHeader()->disconnect(this);
    tableView_ = nullptr;
    editorWindow_.reset();
}

void FavoritesEditWindowCoordinator::buildContent() {
    QWidget* window = editorWindow_.get();

    hintLabel_ = new QLabel(L("strip.editor.hint"), window);
    hintLabel_->setWordWrap(true);
    hintLabel_->setFont(systemFontOfSize(12));
    QPalette hintPalette = hintLabel_->palette();
    hintPalette.setColor(QPalette::WindowText, secondaryTextColor(hintPalette));
    hintLabel_->setPalette(hintPalette);
    // 16 from the window's edges: the layout's 12 plus these 4.
    hintLabel_->setContentsMargins(4, 0, 4, 0);

    model_ = new FavoritesTableModel(this);
    tableView_ = new FavoritesDropTableView(window);
    tableView_->setModel(model_);
    tableView_->setItemDelegate(new FavoritesCellDelegate(tableView_));
    tableView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tableView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tableView_->setAlternatingRowColors(true);
    tableView_->setShowGrid(false);
    tableView_->setWordWrap(false);
    tableView_->setTextElideMode(Qt::ElideRight);
    tableView_->setIconSize(kIconSize);
    tableView_->setCornerButtonEnabled(false);
    tableView_->setFrameShape(QFrame::StyledPanel);
    tableView_->setFrameShadow(QFrame::Sunken);
    tableView_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    tableView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tableView_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    QHeaderView* rowHeader = tableView_->verticalHeader();
    rowHeader->hide();
    rowHeader->setMinimumSectionSize(kRowHeight);
    rowHeader->setDefaultSectionSize(kRowHeight);
    rowHeader->setSectionResizeMode(QHeaderView::Fixed);
    configureColumns();
    tableView_->viewport()->installEventFilter(this);
    connect(tableView_, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { handleDoubleClick(index.row()); });
    connect(tableView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &FavoritesEditWindowCoordinator::tableViewSelectionDidChange);
    connect(tableView_, &FavoritesDropTableView::urlsDropped, this,
            [this](const QList<QUrl>& urls) {
                addFavoriteURLs(urls);
                reloadRows();
                updateRemoveButton();
            });

    addButton_ = makeSymbolButton("plus", L("strip.editor.addAccessibility"),
                                  L("strip.editor.addTooltip"), window);
    connect(addButton_, &QPushButton::clicked, this, &FavoritesEditWindowCoordinator::handleAdd);
    removeButton_ = makeSymbolButton("minus", L("strip.editor.removeAccessibility"),
                                     L("strip.editor.removeTooltip"), window);
    connect(removeButton_, &QPushButton::clicked, this,
            &FavoritesEditWindowCoordinator::handleRemove);
    doneButton_ = new QPushButton(L("strip.editor.doneButton"), window);
    doneButton_->setDefault(true);
    doneButton_->setMinimumSize(88, kButtonHeight);
    connect(doneButton_, &QPushButton::clicked, this, &FavoritesEditWindowCoordinator::handleDone);
    // Return closes the editor from anywhere in it, as the done button's key equivalent.
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), window);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, &FavoritesEditWindowCoordinator::handleDone);
    }

    auto* buttonRow = new QHBoxLayout;
    buttonRow->setSpacing(10);
    buttonRow->addWidget(addButton_, 0, Qt::AlignVCenter);
    buttonRow->addWidget(removeButton_, 0, Qt::AlignVCenter);
    buttonRow->addStretch(1);
    buttonRow->addWidget(doneButton_, 0, Qt::AlignVCenter);

    auto* content = new QVBoxLayout(window);
    content->setContentsMargins(12, 12, 12, 12);
    content->setSpacing(0);
    content->addWidget(hintLabel_);
    content->addSpacing(8);
    content->addWidget(tableView_, 1);
    content->addSpacing(10);
    content->addLayout(buttonRow);

    // Not resizable: the content keeps its size, which is above the smallest it may have.
    static_assert(kContentSize.width() >= kMinimumContentSize.width() &&
                  kContentSize.height() >= kMinimumContentSize.height());
    window->setFixedSize(kContentSize);
}

void FavoritesEditWindowCoordinator::configureColumns() {
    using Column = FavoritesTableModel::Column;
    QHeaderView* header = tableView_->horizontalHeader();
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

void FavoritesEditWindowCoordinator::layoutColumns(std::optional<int> requestedName) {
    using Column = FavoritesTableModel::Column;
    if (layingOutColumns_)
        return;
    const QScopedValueRollback guard(layingOutColumns_, true);
    QHeaderView* header = tableView_->horizontalHeader();
    const int available = tableView_->viewport()->width() - column(Column::iconColumn).width;
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

void FavoritesEditWindowCoordinator::activateApplication() {
    runningApplications_.activateCurrentApplication();
}

void FavoritesEditWindowCoordinator::showEditor() {
    activateApplication();
    reloadRows();
    updateRemoveButton();

    QWidget* window = editorWindow_.get();
    QRect area;
    if (const auto main = screens_.mainScreen())
        area = main->visibleFrame.toAlignedRect();
    if (area.isEmpty())
        if (QScreen* screen = QGuiApplication::primaryScreen())
            area = screen->availableGeometry();
    QRect frame(QPoint(), window->size());
    frame.moveCenter(area.center());
    window->move(frame.topLeft());

    window->show();
    window->raise();
    window->activateWindow();
}

void FavoritesEditWindowCoordinator::reloadRows() {
    QList<FavoritesEditorRow> rows;
    for (FavoritesCategory category : allFavoritesCategories)
        for (const FavoriteItem& item : favorites_.store(category).favorites())
            rows.append({category, item});
    std::stable_sort(rows.begin(), rows.end(),
                     [](const FavoritesEditorRow& a, const FavoritesEditorRow& b) {
                         return a.item.addedAt > b.item.addedAt;
                     });
    model_->setRows(std::move(rows));
}

void FavoritesEditWindowCoordinator::addFavoriteURLs(const QList<QUrl>& urls) {
    favorites_.add(urls);
}

void FavoritesEditWindowCoordinator::handleAdd() {
    activateApplication();
    OpenPanelOptions panel;
    panel.canCreateDirectories = false;
    panel.canChooseFiles = true;
    panel.canChooseDirectories = true;
    panel.allowsMultipleSelection = true;
    panel.parentWindow = editorWindow_.get();
    QPointer<FavoritesEditWindowCoordinator> self(this);
    dialogs_.beginOpenPanel(panel, [self](std::optional<QList<QUrl>> urls) {
        if (!self)
            return;
        if (urls)
            self->addFavoriteURLs(*urls);
        // A cancelled panel reloads too: the stores may have changed meanwhile.
        self->reloadRows();
        self->updateRemoveButton();
    });
}

void FavoritesEditWindowCoordinator::handleRemove() {
    const QModelIndexList selected = tableView_->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    QList<int> indexes;
    for (const QModelIndex& index : selected)
        indexes << index.row();
    std::sort(indexes.begin(), indexes.end(), std::greater<>());
    const QList<FavoritesEditorRow> rows = unifiedRows();
    for (int index : indexes) {
        if (index < 0 || index >= rows.size())
            continue;
        const FavoritesEditorRow& row = rows[index];
        favorites_.store(row.category).remove(row.item);
    }
    reloadRows();
    updateRemoveButton();
}

void FavoritesEditWindowCoordinator::handleDoubleClick(int row) {
    if (row < 0 || row >= unifiedRows().size() || !owner_)
        return;
    // A copy: opening may lead to a reload of the rows.
    const FavoritesEditorRow target = unifiedRows()[row];
    if (target.category == FavoritesCategory::applications)
        Q_EMIT launchApplicationRequested(target.item.url);
    else
        Q_EMIT openFavoriteRequested(target.item.url, target.category);
}

void FavoritesEditWindowCoordinator::handleDone() {
    editorWindow_->close();
}

void FavoritesEditWindowCoordinator::updateRemoveButton() {
    removeButton_->setEnabled(tableView_->selectionModel()->hasSelection());
}

void FavoritesEditWindowCoordinator::tableViewSelectionDidChange() {
    updateRemoveButton();
}

void FavoritesEditWindowCoordinator::windowWillClose() {
    // The window goes with the coordinator, after the close has been handled.
    deleteLater();
}

bool FavoritesEditWindowCoordinator::eventFilter(QObject* watched, QEvent* event) {
    if (watched == editorWindow_.get() && event->type() == QEvent::Close)
        windowWillClose();
    else if (event->type() == QEvent::Resize && tableView_ && watched == tableView_->viewport())
        layoutColumns(std::nullopt);
    return QObject::eventFilter(watched, event);
}
