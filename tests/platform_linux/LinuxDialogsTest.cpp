#include "platform/linux/LinuxDialogs.h"
#include "platform/ScreenGeometry.h"
#include "platform/linux/QtScreens.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
template <class T> T* shownDialog() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<T*>(w); d && d->isVisible())
            return d;
    return nullptr;
}

// Runs answer on the dialog once it is up, from inside its modal loop.
template <class T> void whenShown(std::function<void(T*)> answer) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        if (T* d = shownDialog<T>()) {
            timer->stop();
            timer->deleteLater();
            answer(d);
        }
    });
    timer->start();
}
} // namespace

TEST(LinuxDialogs, AlertShowsItsTextsAndReportsTheButtonPressed) {
    LinuxDialogs dialogs;
    AlertOptions alert{AlertStyle::critical, "Cannot run here", "Move it first.", {"Quit", "Help"}};
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString text, informative;
    QStringList buttons;
    whenShown<QMessageBox>([&](QMessageBox* box) {
        icon = box->icon();
        text = box->text();
        informative = box->informativeText();
        for (QAbstractButton* b : box->buttons())
            buttons << b->text();
        EXPECT_EQ(box->defaultButton()->text(), "Quit");
        for (QAbstractButton* b : box->buttons())
            if (b->text() == u"Help")
                b->click();
    });
    EXPECT_EQ(dialogs.runAlert(alert), 1);
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(text, "Cannot run here");
    EXPECT_EQ(informative, "Move it first.");
    EXPECT_EQ(buttons.size(), 2);

    // Escape ends it with the last button; Return with the first.
    whenShown<QMessageBox>([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
    EXPECT_EQ(dialogs.runAlert(alert), 1);
    whenShown<QMessageBox>([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Return); });
    EXPECT_EQ(dialogs.runAlert(alert), 0);
    alert.buttons = {"Quit"};
    whenShown<QMessageBox>([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
    EXPECT_EQ(dialogs.runAlert(alert), 0);
}

TEST(LinuxDialogs, OpenPanelsAnswerTheChosenFolderOrNothing) {
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/Projects");
    ASSERT_TRUE(QDir().mkpath(folder));
    LinuxDialogs dialogs;
    OpenPanelOptions panel;
    panel.canChooseFiles = false;
    panel.canChooseDirectories = true;
    panel.directory = dir.path();
    panel.prompt = QStringLiteral("Grant Access");
    panel.message =
        QStringLiteral("To open \u201cPlan.txt\u201d, choose the folder that contains it.");

    whenShown<QFileDialog>([&](QFileDialog* d) {
        // The message shows inside the panel, whole, above the files.
        QLabel* message = nullptr;
        for (QLabel* label : d->findChildren<QLabel*>())
            if (label->isVisible() && label->text() == panel.message)
                message = label;
        ASSERT_NE(message, nullptr);
        EXPECT_TRUE(message->wordWrap());
        const auto* files = d->findChild<QListView*>(QStringLiteral("listView"));
        ASSERT_NE(files, nullptr);
        EXPECT_LT(message->mapTo(d, QPoint(0, 0)).y(), files->mapTo(d, QPoint(0, 0)).y());
        EXPECT_EQ(d->fileMode(), QFileDialog::Directory);
        EXPECT_TRUE(d->testOption(QFileDialog::DontUseNativeDialog));
        EXPECT_TRUE(d->testOption(QFileDialog::ReadOnly));
        EXPECT_EQ(d->labelText(QFileDialog::Accept), "Grant Access");
        d->selectFile(folder);
        static_cast<QDialog*>(d)->accept();
    });
    const auto chosen = dialogs.runOpenPanel(panel);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, QList<QUrl>{QUrl::fromLocalFile(folder)});

    whenShown<QFileDialog>([](QFileDialog* d) { d->reject(); });
    EXPECT_FALSE(dialogs.runOpenPanel(panel).has_value());

    // As a sheet: modal to its window only, answered later.
    QWidget parent;
    parent.show();
    panel.parentWindow = &parent;
    std::optional<std::optional<QList<QUrl>>> answer;
    dialogs.beginOpenPanel(panel, [&](std::optional<QList<QUrl>> urls) { answer = urls; });
    QFileDialog* sheet = shownDialog<QFileDialog>();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->parentWidget(), &parent);
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_FALSE(answer.has_value());
    sheet->selectFile(folder);
    static_cast<QDialog*>(sheet)->accept();
    ASSERT_TRUE(waitUntil([&] { return answer.has_value(); }));
    EXPECT_EQ(*answer, QList<QUrl>{QUrl::fromLocalFile(folder)});
}

TEST(LinuxDialogs, AFilesAndFoldersPanelReturnsFoldersInsteadOfEnteringThem) {
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/Projects");
    const QString file = dir.path() + QStringLiteral("/notes.txt");
    ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/Inner")));
    QFile(file).open(QIODevice::WriteOnly);
    LinuxDialogs dialogs;
    OpenPanelOptions panel;
    panel.canChooseDirectories = true;
    panel.allowsMultipleSelection = true;
    panel.directory = dir.path();
    std::optional<std::optional<QList<QUrl>>> answer;
    const auto begin = [&] {
        answer.reset();
        dialogs.beginOpenPanel(panel, [&](std::optional<QList<QUrl>> urls) { answer = urls; });
        return shownDialog<QFileDialog>();
    };

    // A folder and a file selected together, then "Open".
    QFileDialog* d = begin();
    ASSERT_NE(d, nullptr);
    auto* view = d->findChild<QListView*>(QStringLiteral("listView"));
    auto* model = view ? qobject_cast<QFileSystemModel*>(view->model()) : nullptr;
    ASSERT_NE(model, nullptr);
    for (const QString& path : {folder, file})
        view->selectionModel()->select(model->index(path),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QPushButton* open = d->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))
                            ->button(QDialogButtonBox::Open);
    ASSERT_TRUE(open && open->isEnabled());
    open->click();
    ASSERT_TRUE(waitUntil([&] { return answer.has_value(); }));
    ASSERT_TRUE(answer->has_value());
    EXPECT_EQ(QSet<QUrl>(answer->value().cbegin(), answer->value().cend()),
              (QSet<QUrl>{QUrl::fromLocalFile(folder), QUrl::fromLocalFile(file)}));

    // A typed folder path is returned too; with a trailing "/" the panel goes into it instead.
    for (const QString& typed : {folder + u'/', folder + QStringLiteral("/Inner")}) {
        d = begin();
        ASSERT_NE(d, nullptr);
        auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(typed);
        static_cast<QDialog*>(d)->accept();
        if (typed.endsWith(u'/')) {
            EXPECT_FALSE(answer.has_value());
            EXPECT_EQ(QDir(d->directory()).canonicalPath(), QDir(folder).canonicalPath());
            d->reject();
        } else {
            ASSERT_TRUE(waitUntil([&] { return answer.has_value(); }));
            EXPECT_EQ(*answer, QList<QUrl>{QUrl::fromLocalFile(typed)});
        }
    }
}

TEST(QtScreens, ReportsQtsScreensMainFirstWithTheOriginAtItsBottomLeft) {
    QtScreens screens;
    const QScreen* primary = QGuiApplication::primaryScreen();
    ASSERT_NE(primary, nullptr);
    const auto main = screens.mainScreen();
    ASSERT_TRUE(main.has_value());
    ASSERT_FALSE(screens.screens().isEmpty());
    EXPECT_EQ(screens.screens().first(), *main);
    EXPECT_EQ(main->frame, QRectF(QPointF(0, 0), QSizeF(primary->geometry().size())));
    EXPECT_TRUE(main->frame.contains(main->visibleFrame));

    // A window at Qt's top-left corner of the main screen sits at its top in our terms.
    const ScreenGeometry geometry = ScreenGeometry::current(screens);
    const QRectF topLeftWindow(QPointF(primary->geometry().topLeft()), QSizeF(32, 240));
    EXPECT_EQ(geometry.toBottomLeft(topLeftWindow),
              QRectF(0, primary->geometry().height() - 240, 32, 240));
}
