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

template <class T> static T* shownDialog() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<T*>(w); d && d->isVisible())
            return d;
    return nullptr;
}

// The strip script shows the alert of a bundle outside the Applications folders and ends it
// with Return; the editor script adds a typed folder through the panel.
TEST(LinuxDialogs, AlertsShowTheirTextsAndEndWithTheButtonPressedOrImplied) {
    LinuxDialogs dialogs;
    const QStringList two{u"Quit"_s, u"Help"_s}, one{u"OK"_s};
    // Escape ends an alert with its last button, Return with its first.
    const std::tuple<QStringList, std::optional<Qt::Key>, int> cases[] = {{two, std::nullopt, 1},
                                                                          {two, Qt::Key_Escape, 1},
                                                                          {two, Qt::Key_Return, 0},
                                                                          {one, Qt::Key_Escape, 0}};
    for (const auto& [buttons, key, expected] : cases) {
        QTimer::singleShot(0, [&, key = key] {
            ASSERT_TRUE(waitUntil([] { return shownDialog<QMessageBox>() != nullptr; }));
            QMessageBox* box = shownDialog<QMessageBox>();
            EXPECT_EQ(box->icon(), QMessageBox::Critical);
            EXPECT_EQ(box->text() + u'|' + box->informativeText(), u"Cannot run|Move it."_s);
            if (key)
                QTest::keyClick(box, *key);
            else // a click on Help
                box->buttons().at(box->buttons().at(0)->text() == u"Help" ? 0 : 1)->click();
        });
        EXPECT_EQ(dialogs.runAlert({AlertStyle::critical, u"Cannot run"_s, u"Move it."_s, buttons}),
                  expected);
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
    const auto begin = [&] {
        answer.reset();
        dialogs.beginOpenPanel(panel, [&](std::optional<QList<QUrl>> urls) { answer = urls; });
        return shownDialog<QFileDialog>();
    };
    QFileDialog* d = begin();
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
    EXPECT_EQ(QSet<QUrl>(answer->value_or(QList<QUrl>()).cbegin(),
                         answer->value_or(QList<QUrl>()).cend()),
              (QSet<QUrl>{dir.url(u"Projects"_s), dir.url(u"notes.txt"_s)}));
    // Cancelled, it answers nothing.
    begin()->reject();
    ASSERT_TRUE(waitUntil([&] { return answer.has_value(); }));
    EXPECT_FALSE(answer->has_value());
}
