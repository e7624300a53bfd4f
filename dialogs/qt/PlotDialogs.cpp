// "Select Variable for Plotting" and the time-scale dialog.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <algorithm>
#include <string_view>

#include "dialogs/qt/DialogLayout.h"
#include "dialogs/qt/Dialogs.h"
#include "monitor/RangeText.h"

namespace korvel {
namespace {

// Names are five bytes, space-padded; a zero byte ends a name early (the
// list before any monitor file is read holds zero-filled names).
QString VariableItemText(const MonitorFile& monitor, int index) {
    const std::string_view name = monitor.name(index);
    const size_t end = std::min(name.find('\0'), name.size());
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(end));
}

QLineEdit* RangeField(DialogTemplate& layout, const char* id, QRect units) {
    QLineEdit* edit = layout.Edit(id, units);
    edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), edit));
    return edit;
}

}  // namespace

PlotVariableDialog::PlotVariableDialog(const MonitorFile& monitor, PlotState& plot,
                                       Prompter& prompter, QWidget* parent)
    : QDialog(parent), monitor_(monitor), plot_(plot), prompter_(prompter) {
    DialogTemplate layout(this, QStringLiteral("Select Variable for Plotting"), 8, 128, 155);
    QPushButton* add = layout.Button("1003", QStringLiteral("Add"), {71, 7, 50, 14});
    QPushButton* remove = layout.Button("1004", QStringLiteral("Delete"), {71, 24, 50, 14});
    QListWidget* list = layout.List("1000", {7, 22, 52, 126});
    QPushButton* ok = layout.Button("1", QStringLiteral("OK"), {71, 41, 50, 14});
    ok->setDefault(true);
    layout.Label(QStringLiteral("Plot Variables"), {7, 7, 52, 8});
    SetFieldUnsigned(RangeField(layout, "1013", {81, 93, 40, 14}), 0);
    SetFieldUnsigned(RangeField(layout, "1014", {81, 121, 40, 14}), 3000);
    layout.Label(QStringLiteral("Minimum"), {81, 81, 28, 8});
    layout.Label(QStringLiteral("Maximum"), {81, 111, 30, 8});
    // The range in the selected variable's unit, between OK and Minimum.
    QLabel* units = layout.Label(QString(), {66, 58, 60, 20});
    units->setObjectName(QStringLiteral("units"));
    units->setWordWrap(true);

    for (int k = 0; k < std::min(monitor_.variableCount, MaxMonitorVariables); ++k) {
        list->addItem(VariableItemText(monitor_, k));
    }
    if (list->count() > 0) {
        list->setCurrentRow(0);
    }
    // The dialog opens with the focus on its first control, so Enter adds;
    // Qt would otherwise move it to the default OK button.
    add->setFocus();
    connect(add, &QPushButton::clicked, this, &PlotVariableDialog::OnAdd);
    connect(remove, &QPushButton::clicked, this, &PlotVariableDialog::OnDelete);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(list, &QListWidget::itemSelectionChanged, this, &PlotVariableDialog::ShowUnits);
    for (const char* id : {"1013", "1014"}) {
        connect(FieldById(this, id), &QLineEdit::textChanged, this, &PlotVariableDialog::ShowUnits);
    }
    ShowUnits();
}

void PlotVariableDialog::ShowUnits() {
    const int variable = SelectedVariable();
    QString text;
    if (variable >= 0) {
        text = QString::fromStdString(RangeInUnits(monitor_.name(variable),
                                                   FieldUnsigned(FieldById(this, "1013")),
                                                   FieldUnsigned(FieldById(this, "1014"))));
    }
    findChild<QLabel*>(QStringLiteral("units"))->setText(text);
}

int PlotVariableDialog::SelectedVariable() const {
    const auto* list = findChild<QListWidget*>(QStringLiteral("1000"));
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.front());
}

void PlotVariableDialog::OnAdd() {
    const int variable = SelectedVariable();
    if (variable < 0) {
        return;
    }
    const auto minimum = static_cast<float>(FieldUnsigned(FieldById(this, "1013")));
    const auto maximum = static_cast<float>(FieldUnsigned(FieldById(this, "1014")));
    if (plot_.AddChannel(variable, minimum, maximum) < 0) {
        prompter_.Message(this, QStringLiteral("No more variables can be plotted"),
                          QStringLiteral("Please delete a variable"), Prompter::Icon::Exclamation);
    }
}

void PlotVariableDialog::OnDelete() {
    const int variable = SelectedVariable();
    if (variable < 0) {
        return;
    }
    if (plot_.DeleteChannel(variable) < 0) {
        prompter_.Message(this, QStringLiteral("This variable is not being plotted"),
                          QStringLiteral("Variable cannot be deleted"),
                          Prompter::Icon::Exclamation);
    }
}

TimeScaleDialog::TimeScaleDialog(PlotState& plot, Prompter& prompter, QWidget* parent)
    : QDialog(parent), plot_(plot), prompter_(prompter) {
    DialogTemplate layout(this, QStringLiteral("Dialog"), 8, 187, 95);
    QPushButton* ok = layout.Button("1", QStringLiteral("OK"), {128, 7, 50, 14});
    ok->setDefault(true);
    QPushButton* cancel = layout.Button("2", QStringLiteral("Cancel"), {128, 24, 50, 14});
    QLineEdit* field = layout.Edit("1042", {34, 43, 40, 14});
    layout.Label(QStringLiteral("Time Scale"), {34, 19, 41, 9}, Qt::AlignHCenter);
    layout.Label(QStringLiteral("(seconds)"), {34, 30, 41, 8}, Qt::AlignHCenter);
    SetFieldUnsigned(field, static_cast<uint32_t>(plot_.timeScale));
    connect(ok, &QPushButton::clicked, this, &TimeScaleDialog::OnOk);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TimeScaleDialog::OnOk() {
    QLineEdit* field = FieldById(this, "1042");
    const uint32_t seconds = FieldUnsigned(field);
    // The chart divides by the sweep length, and a sweep's position in
    // milliseconds must fit the 32-bit sample time.
    if (seconds == 0 || seconds > static_cast<uint32_t>(MaxTimeScaleSeconds)) {
        prompter_.Message(
            this,
            QStringLiteral("Enter a time scale from 1 to %1 seconds").arg(MaxTimeScaleSeconds),
            QStringLiteral("Time Scale Error"), Prompter::Icon::Exclamation);
        field->setFocus();
        field->selectAll();
        return;
    }
    plot_.timeScale = static_cast<int32_t>(seconds);
    accept();
}

}  // namespace korvel
