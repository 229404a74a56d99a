#include "platform/linux/LinuxDialogs.h"
#include "support/TestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

// The strip script shows the alert of a bundle outside the Applications folders and ends it
// with Return; the editor script adds a document and a folder through the open panel.
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
            QMessageBox* box = nullptr;
            ASSERT_TRUE(waitUntil([&] {
                return (box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()));
            }));
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
