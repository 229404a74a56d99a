#include "platform/linux/LinuxDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

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

QFileDialog* makeFileDialog(const OpenPanelSpec& panel) {
    auto* dialog = new QFileDialog(panel.parentWindow);
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
    // Qt's dialog has no message line; its title carries the message.
    dialog->setWindowTitle(panel.message.isEmpty() ? QGuiApplication::applicationDisplayName()
                                                  : panel.message);
    return dialog;
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

int LinuxDialogs::runAlert(const AlertSpec& alert) {
    QMessageBox box;
    box.setIcon(iconFor(alert.style));
    box.setWindowTitle(QGuiApplication::applicationDisplayName());
    box.setText(alert.messageText);
    box.setInformativeText(alert.informativeText);
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

std::optional<QList<QUrl>> LinuxDialogs::runOpenPanel(const OpenPanelSpec& panel) {
    QFileDialog* dialog = makeFileDialog(panel);
    dialog->setWindowModality(panel.parentWindow ? Qt::WindowModal : Qt::ApplicationModal);
    const int code = dialog->exec();
    auto result = resultOf(dialog, code);
    delete dialog;
    return result;
}

void LinuxDialogs::beginOpenPanel(const OpenPanelSpec& panel, OpenPanelCompletion completion) {
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
