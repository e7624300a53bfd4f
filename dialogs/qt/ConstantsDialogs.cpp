// "RPM Presets", "AE / MIS", "Governor" and "Korvel" (About).
#include <QPushButton>
#include <initializer_list>
#include <span>

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
};

// Fields in the order they are read and stored.
constexpr ConstantField RpmPresetFields[] = {
    {"1017", 87, Transfer::RpmPreset}, {"1018", 88, Transfer::RpmPreset},
    {"1019", 89, Transfer::RpmPreset}, {"1020", 80, Transfer::Word16},
    {"1021", 82, Transfer::Word16},    {"1022", 102, Transfer::Word16},
};

// The LP column's identifiers are out of label order: "AE THS Positive" is
// 1014 and "AE Max" 1013.
constexpr ConstantField AeMisFields[] = {
    {"1025", 46, Transfer::Byte}, {"1026", 47, Transfer::Byte}, {"1027", 48, Transfer::Byte},
    {"1028", 49, Transfer::Byte}, {"1029", 50, Transfer::Byte}, {"1030", 95, Transfer::Byte},
    {"1011", 96, Transfer::Byte}, {"1012", 97, Transfer::Byte}, {"1014", 98, Transfer::Byte},
    {"1013", 99, Transfer::Byte},
};

// KP, KD and KI of sets 0..5; each gain kind is an array of six bytes.
constexpr ConstantField GovernorFields[] = {
    {"1011", 62, Transfer::Byte}, {"1012", 68, Transfer::Byte}, {"1013", 74, Transfer::Byte},
    {"1014", 63, Transfer::Byte}, {"1015", 69, Transfer::Byte}, {"1016", 75, Transfer::Byte},
    {"1020", 64, Transfer::Byte}, {"1021", 70, Transfer::Byte}, {"1022", 76, Transfer::Byte},
    {"1034", 65, Transfer::Byte}, {"1035", 71, Transfer::Byte}, {"1036", 77, Transfer::Byte},
    {"1037", 66, Transfer::Byte}, {"1038", 72, Transfer::Byte}, {"1039", 78, Transfer::Byte},
    {"1017", 67, Transfer::Byte}, {"1018", 73, Transfer::Byte}, {"1019", 79, Transfer::Byte},
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

void StoreFields(const QDialog* dialog, CalibrationImage& image,
                 std::span<const ConstantField> fields) {
    for (const ConstantField& field : fields) {
        StoreValue(image, field, FieldUnsigned(FieldById(dialog, field.id)));
    }
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

RpmPresetsDialog::RpmPresetsDialog(CalibrationImage& image, QWidget* parent)
    : QDialog(parent), image_(image) {
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
    StoreFields(this, image_, RpmPresetFields);
    accept();
}

AeMisDialog::AeMisDialog(CalibrationImage& image, QWidget* parent)
    : QDialog(parent), image_(image) {
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
    StoreFields(this, image_, AeMisFields);
    accept();
}

GovernorDialog::GovernorDialog(CalibrationImage& image, QWidget* parent)
    : QDialog(parent), image_(image) {
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
    StoreFields(this, image_, GovernorFields);
    accept();
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
