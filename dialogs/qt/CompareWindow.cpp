#include "dialogs/qt/CompareWindow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>
#include <algorithm>

namespace korvel {

namespace {

const char* const SameText = "The ECU holds this calibration";

}  // namespace

CompareWindow::CompareWindow(const CalibrationImage& image, const CalibrationImage& ecu,
                             QWidget* parent)
    : QWidget(parent, Qt::Window),
      image_(image),
      ecu_(ecu),
      differences_(CompareImages(image, ecu)),
      summary_(new QLabel(this)),
      list_(new QTreeWidget(this)),
      program_(new QPushButton(this)),
      take_(new QPushButton(QStringLiteral("Take ECU values"), this)) {
    setWindowTitle(QStringLiteral("Compare with ECU"));
    setAttribute(Qt::WA_DeleteOnClose);
    list_->setHeaderLabels({"Address", "Name", "ECU", "Image"});
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    program_->setObjectName("program");
    take_->setObjectName("take");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(program_);
    buttons->addWidget(take_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addWidget(list_);
    layout->addLayout(buttons);
    connect(program_, &QPushButton::clicked, this, &CompareWindow::ProgramRequested);
    connect(take_, &QPushButton::clicked, this, [this] { emit TakeRequested(SelectedIndices()); });
    connect(list_, &QTreeWidget::itemSelectionChanged, this,
            [this] { take_->setEnabled(!list_->selectedItems().isEmpty()); });
    resize(560, 360);
    Fill();
}

void CompareWindow::Fill() {
    list_->clear();
    for (const ByteDifference& d : differences_) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0,
                      QString("%1").arg(ImageBaseAddress + d.index, 4, 16, QChar('0')).toUpper());
        item->setText(1, QString::fromStdString(d.name));
        item->setText(2, QString::fromStdString(ShowImageValue(image_, d.index, d.second)));
        item->setText(3, QString::fromStdString(ShowImageValue(image_, d.index, d.first)));
        item->setData(0, Qt::UserRole, d.index);
        for (int column : {2, 3}) {
            item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
        }
    }
    for (int column : {0, 2, 3}) {
        list_->resizeColumnToContents(column);
    }
    const int n = static_cast<int>(differences_.size());
    summary_->setText(
        n == 0
            ? QString(SameText)
            : QString("%1 byte%2 differ%3").arg(n).arg(n == 1 ? "" : "s").arg(n == 1 ? "s" : ""));
    list_->setVisible(n > 0);
    program_->setText(QString("Program %1 change%2").arg(n).arg(n == 1 ? "" : "s"));
    program_->setEnabled(n > 0);
    take_->setEnabled(false);
}

std::vector<int> CompareWindow::ListedIndices() const {
    std::vector<int> indices;
    for (const ByteDifference& d : differences_) {
        indices.push_back(d.index);
    }
    return indices;
}

std::vector<int> CompareWindow::SelectedIndices() const {
    std::vector<int> indices;
    for (const QTreeWidgetItem* item : list_->selectedItems()) {
        indices.push_back(item->data(0, Qt::UserRole).toInt());
    }
    std::sort(indices.begin(), indices.end());
    return indices;
}

void CompareWindow::Resolve(const std::vector<int>& indices) {
    std::erase_if(differences_, [&](const ByteDifference& d) {
        return std::find(indices.begin(), indices.end(), d.index) != indices.end();
    });
    Fill();
}

}  // namespace korvel
