#include "dialogs/qt/PortDialog.h"

#include <QDialogButtonBox>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvel {

PortDialog::PortDialog(const std::vector<PortInfo>& ports, const std::string& current,
                       QWidget* parent)
    : QDialog(parent), ports_(ports) {
    setWindowTitle("Serial Port");
    list_ = new QListWidget(this);
    list_->setObjectName("ports");
    name_ = new QLineEdit(QString::fromStdString(current), this);
    name_->setObjectName("name");
    for (const PortInfo& port : ports_) {
        const bool inUse = port.location == current || port.name == current;
        auto* item = new QListWidgetItem(
            QString::fromStdString(PortLabel(port) + (inUse ? "  (in use)" : "")), list_);
        if (inUse) {
            QFont bold = item->font();
            bold.setBold(true);
            item->setFont(bold);
            list_->setCurrentItem(item);
        }
    }
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row < static_cast<int>(ports_.size())) {
            name_->setText(QString::fromStdString(ports_[static_cast<size_t>(row)].location));
        }
    });
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

std::string PortDialog::ChosenName() const {
    return name_->text().trimmed().toStdString();
}

void PortDialog::OnOk() {
    if (!ChosenName().empty()) {  // no name, nothing to open
        accept();
    }
}

}  // namespace korvel
