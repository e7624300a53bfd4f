#pragma once
// Builds a dialog from its template: positions in dialog units mapped to
// pixels by the dialog font, controls named by their identifiers, and the
// edit-field number transfers shared by every dialog.

#include <QDialog>
#include <QRect>
#include <QString>
#include <cstdint>
#include <optional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace korvel {

class DialogTemplate {
public:
    // Gives `dialog` its caption, font ("MS Sans Serif" or a sans fallback)
    // and fixed client size, `width` x `height` dialog units.
    DialogTemplate(QDialog* dialog, const QString& caption, int pointSize, int width, int height);

    // Dialog units to pixels: x * average letter width / 4, y * font height / 8.
    QRect Map(QRect units) const;

    QPushButton* Button(const char* id, const QString& text, QRect units);
    QLineEdit* Edit(const char* id, QRect units);
    QLabel* Label(const QString& text, QRect units, Qt::Alignment align = Qt::AlignLeft);
    // A frame only; `id` may be null for a frame without identifier.
    QGroupBox* Group(const char* id, const QString& title, QRect units);
    QListWidget* List(const char* id, QRect units);

private:
    QDialog* dialog_;
    int baseX_ = 1;
    int baseY_ = 1;
};

// Enter in any edit field of `dialog` closes it without storing (rejects),
// whichever button is the default; only a click on the dialog's own OK
// button stores.
void CloseOnEnterInFields(QDialog* dialog);

// Number transfers of edit fields: written as unsigned decimal, read with
// FieldUnsigned (empty or non-numeric text reads as 0) or FieldHexAddress.
void SetFieldUnsigned(QLineEdit* edit, uint32_t value);
uint32_t FieldUnsigned(const QLineEdit* edit);
std::optional<uint32_t> FieldHexAddress(const QLineEdit* edit);

// The edit field called `id` of `dialog`; the dialogs build every field they
// look up, so a missing one is a programming error.
QLineEdit* FieldById(const QDialog* dialog, const char* id);

}  // namespace korvel
