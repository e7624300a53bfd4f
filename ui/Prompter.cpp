#include "ui/Prompter.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <vector>

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

Prompter::Answer WidgetPrompter::AskToSave(QWidget* parent, const QString& text,
                                           const QString& caption) {
    QMessageBox box(QMessageBox::Question, caption.isEmpty() ? QString(ProgramCaption) : caption,
                    text, QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
        case QMessageBox::Save:
            return Answer::Save;
        case QMessageBox::Discard:
            return Answer::Discard;
        default:
            return Answer::Cancel;
    }
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

QString WidgetPrompter::Choose(QWidget* parent, const QString& text, const QString& caption,
                               Icon icon, const QStringList& buttons, int defaultButton) {
    QMessageBox box(BoxIcon(icon), caption.isEmpty() ? QString(ProgramCaption) : caption, text,
                    QMessageBox::NoButton, parent);
    std::vector<QPushButton*> added;
    for (const QString& label : buttons) {
        added.push_back(box.addButton(label, QMessageBox::ActionRole));
    }
    if (defaultButton >= 0 && defaultButton < static_cast<int>(added.size())) {
        box.setDefaultButton(added[static_cast<size_t>(defaultButton)]);
        box.setEscapeButton(added[static_cast<size_t>(defaultButton)]);
    }
    box.exec();
    const auto* clicked = qobject_cast<QPushButton*>(box.clickedButton());
    return clicked != nullptr ? clicked->text() : QString();
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
                                                    const QString& defaultSuffix,
                                                    const QString& initialName) {
    QFileDialog dialog(parent, title, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDefaultSuffix(defaultSuffix);
    if (!initialName.isEmpty()) {
        dialog.selectFile(initialName);
    }
    return RunFileDialog(dialog);
}

}  // namespace korvel
