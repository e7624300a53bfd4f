// Single-byte ECU memory access: Peek anywhere in the 16-bit address space,
// Poke only in the calibration EEPROM. Neither touches the image in memory.
#include <QPushButton>

#include "dialogs/qt/DialogLayout.h"
#include "dialogs/qt/Dialogs.h"
#include "link/PeekPoke.h"

namespace korvel {

PeekPokeDialog::PeekPokeDialog(EcuLink& link, Prompter& prompter, std::function<void()> quietLine,
                               QWidget* parent)
    : QDialog(parent), link_(link), prompter_(prompter), quietLine_(std::move(quietLine)) {
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
    if (quietLine_) {
        quietLine_();
    }
    uint8_t value = 0;
    if (!Warn(PeekByte(link_, *address, value))) {
        SetFieldUnsigned(FieldById(this, "1046"), value);
    }
}

void PeekPokeDialog::OnPoke() {
    const std::optional<uint32_t> address = FieldHexAddress(FieldById(this, "1045"));
    if (Warn(CheckPokeAddress(address))) {
        return;
    }
    const uint32_t value = FieldUnsigned(FieldById(this, "1046"));
    if (quietLine_) {
        quietLine_();
    }
    // A programming sequence that was not echoed is not reported.
    Warn(PokeByte(link_, *address, value));
}

}  // namespace korvel
