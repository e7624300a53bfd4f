// Single-byte ECU memory access: Peek anywhere in the 16-bit address space,
// Poke only in the calibration EEPROM. Neither touches the image in memory.
#include <QLineEdit>
#include <QPushButton>

#include "dialogs/FieldText.h"
#include "dialogs/qt/DialogLayout.h"
#include "dialogs/qt/Dialogs.h"
#include "link/PeekPoke.h"

namespace korvel {

PeekPokeDialog::PeekPokeDialog(CalibrationSession& session, Prompter& prompter, QWidget* parent)
    : QDialog(parent), session_(session), prompter_(prompter) {
    DialogTemplate layout(this, QStringLiteral("Dialog"), 8, 189, 126);
    layout.Edit("1045", {24, 34, 40, 14});
    layout.Edit("1046", {122, 35, 40, 14});
    QPushButton* peek = layout.Button("1043", QStringLiteral("Peek"), {19, 54, 50, 14});
    QPushButton* poke = layout.Button("1044", QStringLiteral("Poke"), {116, 55, 50, 14});
    QPushButton* ok = layout.Button("1", QStringLiteral("OK"), {70, 105, 50, 14});
    ok->setDefault(true);
    layout.Label(QStringLiteral("Address"), {30, 13, 27, 8});
    layout.Label(QStringLiteral("(hex)"), {35, 23, 16, 8});
    layout.Label(QStringLiteral("Data"), {132, 15, 16, 8});
    layout.Label(QStringLiteral("(base 10)"), {126, 25, 29, 8});
    connect(peek, &QPushButton::clicked, this, &PeekPokeDialog::OnPeek);
    connect(poke, &QPushButton::clicked, this, &PeekPokeDialog::OnPoke);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

bool PeekPokeDialog::Warn(const LinkResult& result) {
    if (const std::optional<PeekPokeFailure> failure = PeekPokeFailureFor(result)) {
        prompter_.Message(this, QString::fromStdString(failure->text),
                          QString::fromLatin1(failure->caption), Prompter::Icon::Exclamation);
    }
    return !result.ok();
}

void PeekPokeDialog::OnPeek() {
    const std::optional<uint32_t> address = FieldHexAddress(FieldById(this, "1045"));
    if (Warn(CheckPeekAddress(address))) {
        return;
    }
    uint8_t value = 0;
    if (!Warn(session_.Peek(*address, value))) {
        SetFieldUnsigned(FieldById(this, "1046"), value);
    }
}

void PeekPokeDialog::OnPoke() {
    const std::optional<uint32_t> address = FieldHexAddress(FieldById(this, "1045"));
    if (Warn(CheckPokeAddress(address))) {
        return;
    }
    // One stray click must never write 0, nor the low 8 bits of a mistyped number.
    const FieldReading data = ReadConstantField(FieldById(this, "1046")->text().toStdString(), 255);
    if (data.problem != FieldProblem::None) {
        prompter_.Message(this, "The Data field must be a whole number from 0 to 255",
                          "Value Not Stored", Prompter::Icon::Exclamation);
        return;
    }
    WriteRequest request = WriteRequest::Poke(*address, static_cast<uint8_t>(data.value));
    // A poke that may have changed the byte offers to put it back, and so
    // does a restore that fails in turn.
    for (;;) {
        const WriteResult poked = session_.Write(request);
        const std::optional<PeekPokeFailure> failure = PeekPokeFailureFor(poked.link);
        const std::map<int, uint32_t> old = OldValues(poked);
        if (!failure || (old.empty() && !request.rollback)) {
            Warn(poked.link);
            return;
        }
        const QString restore = QStringLiteral("Restore the ECU");
        if (prompter_.Choose(this, QString::fromStdString(failure->text),
                             QString::fromLatin1(failure->caption), Prompter::Icon::Exclamation,
                             {restore, QStringLiteral("OK")}, 1) != restore) {
            return;
        }
        if (!request.rollback) {
            request = WriteRequest::Poke(*address, static_cast<uint8_t>(old.begin()->second));
            request.rollback = true;
        }
    }
}

}  // namespace korvel
