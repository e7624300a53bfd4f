// "RPM Presets", "AE / MIS", "Governor" and "Korvel" (About).
#include <QLineEdit>
#include <QPushButton>
#include <initializer_list>
#include <span>
#include <vector>

#include "dialogs/FieldText.h"
#include "dialogs/qt/DialogLayout.h"
#include "dialogs/qt/Dialogs.h"

namespace korvel {
namespace {

// How a field's number maps onto image slots.
enum class Transfer {
    Byte,       // one slot, unchanged
    RpmPreset,  // one slot in units of 20 rpm
    Word16,     // big-endian: high byte at `slot`, low byte at `slot` + 1
};

struct ConstantField {
    const char* id;
    int slot;
    Transfer transfer;
    const char* name;  // as the refusal message names the field
};

// Fields in the order they are read and stored.
constexpr ConstantField RpmPresetFields[] = {
    {"1017", 87, Transfer::RpmPreset, "RPM A"},
    {"1018", 88, Transfer::RpmPreset, "RPM B"},
    {"1019", 89, Transfer::RpmPreset, "RPM C"},
    {"1020", 80, Transfer::Word16, "PWM Hi Limit"},
    {"1021", 82, Transfer::Word16, "PWM Low Limit"},
    {"1022", 102, Transfer::Word16, "PWM Low Limit LP"},
};

// The LP column's identifiers are out of label order: "AE THS Positive" is
// 1014 and "AE Max" 1013.
constexpr ConstantField AeMisFields[] = {
    {"1025", 46, Transfer::Byte, "Gasoline AE Decay"},
    {"1026", 47, Transfer::Byte, "Gasoline AE Factor"},
    {"1027", 48, Transfer::Byte, "Gasoline AE THS Negative"},
    {"1028", 49, Transfer::Byte, "Gasoline AE THS Positive"},
    {"1029", 50, Transfer::Byte, "Gasoline AE Max"},
    {"1030", 95, Transfer::Byte, "LP AE Decay"},
    {"1011", 96, Transfer::Byte, "LP AE Factor"},
    {"1012", 97, Transfer::Byte, "LP AE THS Negative"},
    {"1014", 98, Transfer::Byte, "LP AE THS Positive"},
    {"1013", 99, Transfer::Byte, "LP AE Max"},
};

// KP, KD and KI of sets 0..5; each gain kind is an array of six bytes.
constexpr ConstantField GovernorFields[] = {
    {"1011", 62, Transfer::Byte, "LMLR KP"},      {"1012", 68, Transfer::Byte, "LMLR KD"},
    {"1013", 74, Transfer::Byte, "LMLR KI"},      {"1014", 63, Transfer::Byte, "LMHR KP"},
    {"1015", 69, Transfer::Byte, "LMHR KD"},      {"1016", 75, Transfer::Byte, "LMHR KI"},
    {"1020", 64, Transfer::Byte, "HMLR KP"},      {"1021", 70, Transfer::Byte, "HMLR KD"},
    {"1022", 76, Transfer::Byte, "HMLR KI"},      {"1034", 65, Transfer::Byte, "HMHR KP"},
    {"1035", 71, Transfer::Byte, "HMHR KD"},      {"1036", 77, Transfer::Byte, "HMHR KI"},
    {"1037", 66, Transfer::Byte, "LMLR Cold KP"}, {"1038", 72, Transfer::Byte, "LMLR Cold KD"},
    {"1039", 78, Transfer::Byte, "LMLR Cold KI"}, {"1017", 67, Transfer::Byte, "LMHR Cold KP"},
    {"1018", 73, Transfer::Byte, "LMHR Cold KD"}, {"1019", 79, Transfer::Byte, "LMHR Cold KI"},
};

// Unsigned 32-bit arithmetic throughout: slots may hold numbers above 255.
uint32_t ShownValue(const CalibrationImage& image, const ConstantField& field) {
    switch (field.transfer) {
        case Transfer::RpmPreset:
            return image[field.slot] * 20u;
        case Transfer::Word16:
            return Read16(image, field.slot);
        case Transfer::Byte:
            break;
    }
    return image[field.slot];
}

void StoreValue(CalibrationImage& image, const ConstantField& field, uint32_t value) {
    switch (field.transfer) {
        case Transfer::RpmPreset:
            image[field.slot] = value / 20u;
            return;
        case Transfer::Word16:
            Write16(image, field.slot, value);
            return;
        case Transfer::Byte:
            image[field.slot] = value;
            return;
    }
}

void FillFields(const QDialog* dialog, const CalibrationImage& image,
                std::span<const ConstantField> fields) {
    for (const ConstantField& field : fields) {
        SetFieldUnsigned(FieldById(dialog, field.id), ShownValue(image, field));
    }
}

// The largest number each kind of field can hold: a byte, a byte of 20 rpm
// steps, or two bytes.
uint32_t FieldMaximum(Transfer transfer) {
    switch (transfer) {
        case Transfer::RpmPreset:
            return 255u * 20u;
        case Transfer::Word16:
            return 0xFFFFu;
        case Transfer::Byte:
            break;
    }
    return 255u;
}

// Stores every field, or none: the first field whose text is empty, not a
// number or beyond what its slots hold is named in a message and selected,
// and the dialog stays open. True when stored.
bool StoreFields(QDialog* dialog, Prompter& prompter, CalibrationImage& image,
                 std::span<const ConstantField> fields) {
    std::vector<uint32_t> values;
    for (const ConstantField& field : fields) {
        QLineEdit* edit = FieldById(dialog, field.id);
        const uint32_t maximum = FieldMaximum(field.transfer);
        const FieldReading reading = ReadConstantField(edit->text().toStdString(), maximum);
        if (reading.problem != FieldProblem::None) {
            prompter.Message(
                dialog,
                QString::fromStdString(FieldProblemText(field.name, reading.problem, maximum)),
                QStringLiteral("Value Not Stored"), Prompter::Icon::Exclamation);
            edit->setFocus();
            edit->selectAll();
            return false;
        }
        values.push_back(reading.value);
    }
    for (size_t i = 0; i < fields.size(); ++i) {
        StoreValue(image, fields[i], values[i]);
    }
    return true;
}

struct Row {
    const char* label;
    const char* id;
};

// A frame whose rows each hold a label and an edit field.
void FieldGroup(DialogTemplate& layout, const char* id, const char* title, QRect box,
                std::initializer_list<Row> rows, int labelWidth, int editWidth) {
    constexpr int FirstRow = 13;
    constexpr int RowStep = 16;
    layout.Group(id, QString::fromLatin1(title), box);
    int y = box.y() + FirstRow;
    for (const Row& row : rows) {
        layout.Label(QString::fromLatin1(row.label), {box.x() + 6, y + 3, labelWidth, 8});
        layout.Edit(row.id, {box.x() + 8 + labelWidth, y, editWidth, 14});
        y += RowStep;
    }
}

// Returns OK (the dialog's own identifier), which alone stores; Cancel, Esc,
// the close box and Enter in a field close without storing.
QPushButton* OkCancel(DialogTemplate& layout, QDialog* dialog, const char* okId, QRect ok,
                      QRect cancel) {
    QPushButton* okButton = layout.Button(okId, QStringLiteral("OK"), ok);
    QPushButton* cancelButton = layout.Button("2", QStringLiteral("Cancel"), cancel);
    QObject::connect(cancelButton, &QPushButton::clicked, dialog, &QDialog::reject);
    CloseOnEnterInFields(dialog);
    return okButton;
}

}  // namespace

RpmPresetsDialog::RpmPresetsDialog(CalibrationImage& image, Prompter& prompter, QWidget* parent)
    : QDialog(parent), image_(image), prompter_(prompter) {
    DialogTemplate layout(this, QStringLiteral("RPM Presets"), 8, 149, 190);
    FieldGroup(layout, "1015", "RPM Presets", {7, 7, 135, 68},
               {{"RPM A", "1017"}, {"RPM B", "1018"}, {"RPM C", "1019"}}, 64, 50);
    FieldGroup(layout, "1016", "PWM Limits", {7, 83, 135, 68},
               {{"PWM Hi Limit", "1020"}, {"PWM Low Limit", "1021"}, {"PWM Low Limit LP", "1022"}},
               64, 50);
    connect(OkCancel(layout, this, "1024", {20, 166, 50, 14}, {79, 166, 50, 14}),
            &QPushButton::clicked, this, &RpmPresetsDialog::OnOk);
    FillFields(this, image_, RpmPresetFields);
}

void RpmPresetsDialog::OnOk() {
    if (StoreFields(this, prompter_, image_, RpmPresetFields)) {
        accept();
    }
}

AeMisDialog::AeMisDialog(CalibrationImage& image, Prompter& prompter, QWidget* parent)
    : QDialog(parent), image_(image), prompter_(prompter) {
    DialogTemplate layout(this, QStringLiteral("AE / MIS"), 8, 236, 133);
    FieldGroup(layout, nullptr, "Gasoline", {7, 7, 107, 96},
               {{"AE Decay", "1025"},
                {"AE Factor", "1026"},
                {"AE THS Negative", "1027"},
                {"AE THS Positive", "1028"},
                {"AE Max", "1029"}},
               58, 36);
    FieldGroup(layout, nullptr, "LP", {122, 7, 107, 96},
               {{"AE Decay", "1030"},
                {"AE Factor", "1011"},
                {"AE THS Negative", "1012"},
                {"AE THS Positive", "1014"},
                {"AE Max", "1013"}},
               58, 36);
    connect(OkCancel(layout, this, "1032", {63, 112, 50, 14}, {123, 112, 50, 14}),
            &QPushButton::clicked, this, &AeMisDialog::OnOk);
    FillFields(this, image_, AeMisFields);
}

void AeMisDialog::OnOk() {
    if (StoreFields(this, prompter_, image_, AeMisFields)) {
        accept();
    }
}

GovernorDialog::GovernorDialog(CalibrationImage& image, Prompter& prompter, QWidget* parent)
    : QDialog(parent), image_(image), prompter_(prompter) {
    DialogTemplate layout(this, QStringLiteral("Governor"), 8, 242, 163);
    struct Set {
        const char* title;
        int x, y;
        const char *kp, *kd, *ki;
    };
    // Top row left to right, then the bottom row: the tab order follows the eye.
    constexpr Set sets[] = {
        {"LMLR", 7, 7, "1011", "1012", "1013"},
        {"HMLR", 85, 7, "1020", "1021", "1022"},
        {"LMLR Cold", 163, 7, "1037", "1038", "1039"},
        {"LMHR", 7, 76, "1014", "1015", "1016"},
        {"HMHR", 85, 76, "1034", "1035", "1036"},
        {"LMHR Cold", 163, 76, "1017", "1018", "1019"},
    };
    for (const Set& set : sets) {
        FieldGroup(layout, nullptr, set.title, {set.x, set.y, 72, 64},
                   {{"KP", set.kp}, {"KD", set.kd}, {"KI", set.ki}}, 16, 40);
    }
    connect(OkCancel(layout, this, "1033", {64, 146, 50, 14}, {128, 146, 50, 14}),
            &QPushButton::clicked, this, &GovernorDialog::OnOk);
    FillFields(this, image_, GovernorFields);
}

void GovernorDialog::OnOk() {
    if (StoreFields(this, prompter_, image_, GovernorFields)) {
        accept();
    }
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    DialogTemplate layout(this, QStringLiteral("Korvel"), 10, 187, 95);
    layout.Label(QStringLiteral("Korvel"), {0, 14, 187, 12}, Qt::AlignHCenter);
    layout.Label(QStringLiteral("Electronic Engine Module Interface"), {0, 30, 187, 12},
                 Qt::AlignHCenter);
    layout.Label(QStringLiteral("Version 1.00"), {0, 46, 187, 12}, Qt::AlignHCenter);
    QPushButton* ok = layout.Button("1", QStringLiteral("OK"), {68, 70, 50, 14});
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace korvel
