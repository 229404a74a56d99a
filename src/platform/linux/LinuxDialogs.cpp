#include "platform/linux/LinuxDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include <algorithm>
#include <array>

namespace {
QMessageBox::Icon iconFor(AlertStyle style) {
    switch (style) {
    case AlertStyle::informational:
        return QMessageBox::Information;
    case AlertStyle::warning:
        return QMessageBox::Warning;
    case AlertStyle::critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::Warning;
}

// Qt's dialog in files mode enters a folder that is chosen with "Open". A panel for files and
// folders returns whatever is selected or typed, folders included; a folder is entered by
// activating it (a double click) or by typing its path with a trailing "/".
class FilesAndFoldersDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    void accept() override {
        const QStringList chosen = selectedFiles();
        auto* nameEdit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        const QString typed = nameEdit ? nameEdit->text() : QString();
        const bool enters = typed == u".." || typed.endsWith(u'/');
        const bool allExist = std::all_of(chosen.cbegin(), chosen.cend(), [](const QString& path) {
            return QFileInfo::exists(path);
        });
        if (chosen.isEmpty() || enters || !allExist) {
            QFileDialog::accept();
            return;
        }
        QDialog::accept();
    }
};

// Qt's dialog has no message line: the message goes above its contents, where it is read (a
// window title is cut short by most window managers).
void addMessage(QFileDialog* dialog, const QString& message) {
    auto* grid = qobject_cast<QGridLayout*>(dialog->layout());
    if (!grid)
        return;
    QList<std::pair<QLayoutItem*, std::array<int, 4>>> items;
    for (int i = grid->count() - 1; i >= 0; --i) {
        std::array<int, 4> at{};
        grid->getItemPosition(i, &at[0], &at[1], &at[2], &at[3]);
        items.prepend({grid->takeAt(i), at});
    }
    for (const auto& [item, at] : items)
        grid->addItem(item, at[0] + 1, at[1], at[2], at[3]);
    auto* label = new QLabel(message, dialog);
    label->setObjectName(QStringLiteral("panelMessage"));
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    grid->addWidget(label, 0, 0, 1, std::max(1, grid->columnCount()));
}

QFileDialog* makeFileDialog(const OpenPanelOptions& panel) {
    const bool filesAndFolders = panel.canChooseFiles && panel.canChooseDirectories;
    QFileDialog* dialog = filesAndFolders ? new FilesAndFoldersDialog(panel.parentWindow)
                                          : new QFileDialog(panel.parentWindow);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    if (panel.canChooseDirectories && !panel.canChooseFiles) {
        dialog->setFileMode(QFileDialog::Directory);
        dialog->setOption(QFileDialog::ShowDirsOnly);
    } else {
        dialog->setFileMode(panel.allowsMultipleSelection ? QFileDialog::ExistingFiles
                                                          : QFileDialog::ExistingFile);
    }
    // Read-only hides the dialog's new-folder button.
    dialog->setOption(QFileDialog::ReadOnly, !panel.canCreateDirectories);
    if (!panel.directory.isEmpty())
        dialog->setDirectory(panel.directory);
    if (!panel.prompt.isEmpty())
        dialog->setLabelText(QFileDialog::Accept, panel.prompt);
    dialog->setWindowTitle(QGuiApplication::applicationDisplayName());
    if (!panel.message.isEmpty())
        addMessage(dialog, panel.message);
    return dialog;
}

// A line may break after a slash: "/Applications" would end one line and start the next.
QString unbrokenPaths(QString text) {
    for (qsizetype i = text.size() - 2; i >= 0; --i)
        if (text[i] == u'/' && text[i + 1].isLetterOrNumber())
            text.insert(i + 1, QChar(0x2060)); // word joiner
    return text;
}

// The message emphasised above its explanation, both at a width that reads in a few lines
// rather than in a narrow column.
void shapeAlert(QMessageBox& box) {
    constexpr int kTextWidth = 360;
    if (auto* message = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        QFont font = message->font();
        font.setBold(true);
        if (font.pointSizeF() > 0)
            font.setPointSizeF(font.pointSizeF() * 1.1);
        message->setFont(font);
        message->setMinimumWidth(kTextWidth);
    }
    if (auto* informative = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        informative->setMinimumWidth(kTextWidth);
}

std::optional<QList<QUrl>> resultOf(QFileDialog* dialog, int code) {
    if (code != QDialog::Accepted)
        return std::nullopt;
    QList<QUrl> urls;
    for (const QString& file : dialog->selectedFiles())
        urls << QUrl::fromLocalFile(file);
    return urls;
}
} // namespace

int LinuxDialogs::runAlert(const AlertOptions& alert) {
    // A dialog to the window manager, which then offers to close it only.
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), QString(),
                    QMessageBox::NoButton, nullptr,
                    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                        Qt::WindowCloseButtonHint);
    box.setIcon(iconFor(alert.style));
    box.setTextFormat(Qt::PlainText);
    box.setText(unbrokenPaths(alert.messageText));
    box.setInformativeText(unbrokenPaths(alert.informativeText));
    shapeAlert(box);
    QList<QPushButton*> buttons;
    const QStringList titles =
        alert.buttons.isEmpty() ? QStringList{QStringLiteral("OK")} : alert.buttons;
    for (const QString& title : titles)
        buttons << box.addButton(title, buttons.isEmpty() ? QMessageBox::AcceptRole
                                                          : QMessageBox::RejectRole);
    box.setDefaultButton(buttons.first());
    // Escape ends the alert with its last button, as closing the window does.
    box.setEscapeButton(buttons.last());
    box.exec();
    const int index = int(buttons.indexOf(static_cast<QPushButton*>(box.clickedButton())));
    return index >= 0 ? index : int(buttons.size()) - 1;
}

std::optional<QList<QUrl>> LinuxDialogs::runOpenPanel(const OpenPanelOptions& panel) {
    QFileDialog* dialog = makeFileDialog(panel);
    dialog->setWindowModality(panel.parentWindow ? Qt::WindowModal : Qt::ApplicationModal);
    const int code = dialog->exec();
    auto result = resultOf(dialog, code);
    delete dialog;
    return result;
}

void LinuxDialogs::beginOpenPanel(const OpenPanelOptions& panel, OpenPanelCompletion completion) {
    QFileDialog* dialog = makeFileDialog(panel);
    // A sheet: modal to its parent window only; without one, to the application.
    dialog->setWindowModality(panel.parentWindow ? Qt::WindowModal : Qt::ApplicationModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QDialog::finished, dialog,
                     [dialog, completion = std::move(completion)](int code) {
                         if (completion)
                             completion(resultOf(dialog, code));
                     });
    dialog->open();
}
