#include "platform/linux/LinuxDialogs.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
template <class T> T* shownDialog() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<T*>(w); d && d->isVisible())
            return d;
    return nullptr;
}
} // namespace

// The alert of a bundle outside the Applications folders is shown by the strip script.
TEST(LinuxDialogs, AlertsReportTheButtonPressedOrImplied) {
    LinuxDialogs dialogs;
    const AlertOptions two{AlertStyle::critical, u"Cannot run"_s, u"Move it."_s, {"Quit", "Help"}};
    const std::function<void(QMessageBox*)> help = [](QMessageBox* box) {
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        EXPECT_EQ(box->text() + u'|' + box->informativeText(), u"Cannot run|Move it."_s);
        box->buttons().at(box->buttons().at(0)->text() == u"Help" ? 0 : 1)->click();
    };
    const auto key = [](Qt::Key k) {
        return [k](QMessageBox* box) {
            QTest::keyClick(box, k);
        };
    };
    // Escape ends an alert with its last button, Return with its first.
    const struct {
        AlertOptions alert;
        std::function<void(QMessageBox*)> answer;
        int expected;
    } cases[] = {{two, help, 1},
                 {two, key(Qt::Key_Escape), 1},
                 {two, key(Qt::Key_Return), 0},
                 {{AlertStyle::warning, u"One"_s, {}, {"OK"}}, key(Qt::Key_Escape), 0}};
    for (const auto& c : cases) {
        QTimer::singleShot(0, [&] {
            ASSERT_TRUE(waitUntil([] { return shownDialog<QMessageBox>() != nullptr; }));
            c.answer(shownDialog<QMessageBox>());
        });
        EXPECT_EQ(dialogs.runAlert(c.alert), c.expected);
    }
}

TEST(LinuxDialogs, AFilesAndFoldersPanelShowsItsMessageAndReturnsFoldersInsteadOfEnteringThem) {
    TempTree dir{"Projects/Inner/", "notes.txt"};
    LinuxDialogs dialogs;
    OpenPanelOptions panel;
    panel.canChooseDirectories = panel.allowsMultipleSelection = true;
    panel.directory = dir.root();
    panel.message = u"To open “Plan.txt”, choose the folder that contains it."_s;
    std::optional<std::optional<QList<QUrl>>> answer;
    dialogs.beginOpenPanel(panel, [&](std::optional<QList<QUrl>> urls) { answer = urls; });
    QFileDialog* d = shownDialog<QFileDialog>();
    ASSERT_NE(d, nullptr);
    bool messageShown = false;
    for (QLabel* label : d->findChildren<QLabel*>())
        messageShown |= label->isVisible() && label->text() == panel.message;
    EXPECT_TRUE(messageShown);

    // A folder and a file selected together, then "Open".
    auto* view = d->findChild<QListView*>(u"listView"_s);
    auto* model = qobject_cast<QFileSystemModel*>(view->model());
    for (const char* name : {"Projects", "notes.txt"})
        view->selectionModel()->select(model->index(dir.path(name)),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open)->click();
    ASSERT_TRUE(waitUntil([&] { return answer.has_value(); }));
    ASSERT_TRUE(answer->has_value());
    EXPECT_EQ(QSet<QUrl>(answer->value().cbegin(), answer->value().cend()),
              (QSet<QUrl>{dir.url(u"Projects"_s), dir.url(u"notes.txt"_s)}));

    // Cancelled, it answers nothing.
    answer.reset();
    dialogs.beginOpenPanel(panel, [&](std::optional<QList<QUrl>> urls) { answer = urls; });
    shownDialog<QFileDialog>()->reject();
    ASSERT_TRUE(waitUntil([&] { return answer.has_value(); }));
    EXPECT_FALSE(answer->has_value());
}
