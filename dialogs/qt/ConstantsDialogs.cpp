// "RPM Presets", "AE / MIS", "Governor" and "Korvel" (About).
#include <QLineEdit>
#include <QPushButton>
#include <initializer_list>
#include <span>
#include <vector>

#include "calib/CalibrationMap.h"
#include "dialogs/FieldText.h"
#include "dialogs/qt/DialogLayout.h"
#include "dialogs/qt/Dialogs.h"

namespace korvel {
namespace {

// A dialog's edit field and the constant it shows (found in the calibration
// map by its slot), in the order they are read and stored.
struct ConstantField {
    const char* id;
    int slot;
};

constexpr ConstantField RpmPresetFields[] = {
    {"1017", 87}, {"1018", 88}, {"1019", 89}, {"1020", 80}, {"1021", 82}, {"1022", 102},
};

// The LP column's identifiers are out of label order: "AE THS Positive" is
// 1014 and "AE Max" 1013.
constexpr ConstantField AeMisFields[] = {
    {"1025", 46}, {"1026", 47}, {"1027", 48}, {"1028", 49}, {"1029", 50},
    {"1030", 95}, {"1011", 96}, {"1012", 97}, {"1014", 98}, {"1013", 99},
};

// KP, KD and KI of sets 0..5; each gain kind is an array of six bytes.
constexpr ConstantField GovernorFields[] = {
    {"1011", 62}, {"1012", 68}, {"1013", 74}, {"1014", 63}, {"1015", 69}, {"1016", 75},
    {"1020", 64}, {"1021", 70}, {"1022", 76}, {"1034", 65}, {"1035", 71}, {"1036", 77},
    {"1037", 66}, {"1038", 72}, {"1039", 78}, {"1017", 67}, {"1018", 73}, {"1019", 79},
};

const ConstantMap& Mapped(const ConstantField& field) {
    return *Layout().Constant(field.slot);
}

void FillFields(const QDialog* dialog, const CalibrationImage& image,
                std::span<const ConstantField> fields) {
    for (const ConstantField& field : fields) {
        SetFieldUnsigned(FieldById(dialog, field.id), ConstantValue(image, Mapped(field)));
    }
}

// Stores every field, or none: the first field whose text is empty, not a
// number or beyond what its slots hold is named in a message and selected,
// and the dialog stays open. True when stored.
bool StoreFields(QDialog* dialog, Prompter& prompter, CalibrationImage& image,
                 std::span<const ConstantField> fields) {
    std::vector<uint32_t> values;
    for (const ConstantField& field : fields) {
        QLineEdit* edit = FieldById(dialog, field.id);
        const ConstantMap& constant = Mapped(field);
        const uint32_t maximum = ConstantMaximum(constant.form);
        const FieldReading reading = ReadConstantField(edit->text().toStdString(), maximum);
        if (reading.problem != FieldProblem::None) {
            prompter.Message(
                dialog,
                QString::fromStdString(FieldProblemText(constant.name, reading.problem, maximum)),
                QStringLiteral("Value Not Stored"), Prompter::Icon::Exclamation);
            edit->setFocus();
            edit->selectAll();
            return false;
        }
        values.push_back(reading.value);
    }
    for (size_t i = 0; i < fields.size(); ++i) {
        StoreConstant(image, Mapped(fields[i]), values[i]);
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
