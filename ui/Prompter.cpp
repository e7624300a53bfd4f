#include "ui/Prompter.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace korvel {

namespace {

const char* const ProgramCaption = "Korvel ECU Interface";

QMessageBox::Icon BoxIcon(Prompter::Icon icon) {
    return icon == Prompter::Icon::Stop ? QMessageBox::Critical : QMessageBox::Warning;
}

std::optional<QString> RunFileDialog(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().constFirst();
}

}  // namespace

void WidgetPrompter::Message(QWidget* parent, const QString& text, const QString& caption,
                             Icon icon) {
    QMessageBox box(BoxIcon(icon), caption.isEmpty() ? QString(ProgramCaption) : caption, text,
                    QMessageBox::Ok, parent);
    box.exec();
}

bool WidgetPrompter::Confirm(QWidget* parent, const QString& text, const QString& caption,
                             const QString& accept) {
    QMessageBox box(QMessageBox::Warning, caption.isEmpty() ? QString(ProgramCaption) : caption,
                    text, QMessageBox::Cancel, parent);
    QPushButton* yes = box.addButton(accept, QMessageBox::AcceptRole);
    box.setDefaultButton(QMessageBox::Cancel);
    box.exec();
    return box.clickedButton() == yes;
}

std::optional<QString> WidgetPrompter::OpenFileName(QWidget* parent, const QString& title,
                                                    const QString& filter,
                                                    const QString& defaultSuffix,
                                                    const QString& initialName) {
    QFileDialog dialog(parent, title, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(defaultSuffix);
    if (!initialName.isEmpty()) {
        dialog.selectFile(initialName);
    }
    return RunFileDialog(dialog);
}

std::optional<QString> WidgetPrompter::SaveFileName(QWidget* parent, const QString& title,
                                                    const QString& filter,
                                                    const QString& defaultSuffix) {
    QFileDialog dialog(parent, title, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDefaultSuffix(defaultSuffix);
    return RunFileDialog(dialog);
}

}  // namespace korvel
