#include "dialogs/qt/PortDialog.h"

#include <QDialogButtonBox>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "link/Transport.h"

namespace korvel {

namespace {

// "COM1", "/dev/ttyS0" and "ttyS0" name one device.
bool SamePort(const std::string& a, const std::string& b) {
    return DevicePathForPort(CanonicalPortName(a)) == DevicePathForPort(CanonicalPortName(b));
}

bool IsInUse(const PortInfo& port, const std::string& current) {
    return SamePort(port.location, current) || port.name == current;
}

}  // namespace

PortDialog::PortDialog(const std::vector<PortInfo>& ports, const std::string& current,
                       QWidget* parent)
    : QDialog(parent), ports_(ports), current_(current) {
    setWindowTitle("Serial Port");
    const bool listed =
        std::ranges::any_of(ports_, [&](const PortInfo& p) { return IsInUse(p, current); });
    if (!listed && !current.empty()) {
        ports_.insert(ports_.begin(), PortInfo{current, current, "", "", false});
    }
    list_ = new QListWidget(this);
    list_->setObjectName("ports");
    name_ = new QLineEdit(QString::fromStdString(current), this);
    name_->setObjectName("name");
    for (const PortInfo& port : ports_) {
        const bool inUse = IsInUse(port, current);
        auto* item = new QListWidgetItem(
            QString::fromStdString(PortLabel(port) + (inUse ? "  (in use)" : "")), list_);
        if (inUse) {
            QFont bold = item->font();
            bold.setBold(true);
            item->setFont(bold);
            list_->setCurrentItem(item);
        }
    }
    // Connected after the row in use is current: only the user's choice of a
    // row changes the name from here on.
    connect(list_, &QListWidget::currentItemChanged, this, &PortDialog::OnRowChosen);
    connect(list_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { OnRowChosen(item, item); });
    connect(list_, &QListWidget::itemDoubleClicked, this, &PortDialog::OnOk);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("ok");
    connect(buttons, &QDialogButtonBox::accepted, this, &PortDialog::OnOk);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(ports_.empty() ? "No serial port found" : "Serial ports:", this));
    layout->addWidget(list_);
    layout->addWidget(new QLabel("Port name:", this));
    layout->addWidget(name_);
    layout->addWidget(buttons);
}

// A list that had no current row makes its first row current when it takes
// the focus; that is no choice of the user's (previous is null then).
void PortDialog::OnRowChosen(QListWidgetItem* item, QListWidgetItem* previous) {
    const int row = list_->row(item);
    if (previous == nullptr || row < 0 || row >= static_cast<int>(ports_.size())) {
        return;
    }
    const PortInfo& port = ports_[static_cast<size_t>(row)];
    name_->setText(QString::fromStdString(IsInUse(port, current_) ? current_ : port.location));
}

std::string PortDialog::ChosenName() const {
    return name_->text().trimmed().toStdString();
}

// No name, nothing to open; the port in use again, nothing to change.
void PortDialog::OnOk() {
    if (ChosenName().empty()) {
        return;
    }
    if (SamePort(ChosenName(), current_)) {
        reject();
        return;
    }
    accept();
}

}  // namespace korvel
