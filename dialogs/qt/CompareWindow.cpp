#include "dialogs/qt/CompareWindow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>
#include <algorithm>

namespace korvel {

namespace {

const char* const SameText = "The ECU holds this calibration";
const char* const StaleText =
    "The image or the ECU changed since this comparison: compare again to program";

}  // namespace

CompareWindow::CompareWindow(CalibrationSession& session, const CalibrationImage& ecu,
                             QWidget* parent)
    : CompareWindow(session, session.Image(), QString(), ecu, parent) {}

CompareWindow::CompareWindow(CalibrationSession& session, const CalibrationImage& point,
                             const QString& pointPath, const CalibrationImage& ecu, QWidget* parent)
    : QWidget(parent, Qt::Window),
      session_(session),
      pointPath_(pointPath),
      image_(point),
      ecu_(ecu),
      differences_(CompareImages(image_, ecu)),
      summary_(new QLabel(this)),
      list_(new QTreeWidget(this)),
      program_(new QPushButton(this)),
      take_(new QPushButton(QStringLiteral("Take ECU values"), this)) {
    setWindowTitle(pointPath_.isEmpty() ? QStringLiteral("Compare with ECU")
                                        : QStringLiteral("Compare Restore Point with ECU"));
    setAttribute(Qt::WA_DeleteOnClose);
    list_->setHeaderLabels({"Address", "Name", "ECU", pointPath_.isEmpty() ? "Image" : "Point"});
    list_->setToolTip(pointPath_);
    take_->setVisible(pointPath_.isEmpty());  // a point is not edited
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
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &CompareWindow::ShowState);
    subscription_ = session_.Observe([this](const SessionEvent&) { Check(); });
    resize(560, 360);
    Fill();
    Check();
}

// The list holds while the image is the one compared (a point does not
// change) and every byte of the ECU is known to be what was read.
void CompareWindow::Check() {
    const EcuBytes& known = session_.Ecu();
    bool same = !pointPath_.isEmpty() || session_.Image().values == image_.values;
    for (int i = 0; same && i < ImageSize; ++i) {
        same = known.At(i) == std::optional<uint8_t>(static_cast<uint8_t>(ecu_[i]));
    }
    stale_ = !same;
    ShowState();
}

void CompareWindow::ShowState() {
    const int n = static_cast<int>(differences_.size());
    if (stale_) {
        summary_->setText(StaleText);
    } else {
        summary_->setText(n == 0 ? QString(SameText)
                                 : QString("%1 byte%2 differ%3")
                                       .arg(n)
                                       .arg(n == 1 ? "" : "s")
                                       .arg(n == 1 ? "s" : ""));
    }
    program_->setEnabled(n > 0 && !stale_);
    take_->setEnabled(pointPath_.isEmpty() && !stale_ && !list_->selectedItems().isEmpty());
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
    list_->setVisible(n > 0);
    program_->setText(QString("Program %1 change%2").arg(n).arg(n == 1 ? "" : "s"));
    ShowState();
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

void CompareWindow::Programmed(const std::vector<int>& indices) {
    for (int index : indices) {
        ecu_[index] = image_[index] & 0xFF;
    }
    Resolve(indices);
}

void CompareWindow::Took(const std::vector<int>& indices) {
    for (int index : indices) {
        image_[index] = ecu_[index];
    }
    Resolve(indices);
}

void CompareWindow::Resolve(const std::vector<int>& indices) {
    std::erase_if(differences_, [&](const ByteDifference& d) {
        return std::find(indices.begin(), indices.end(), d.index) != indices.end();
    });
    Fill();
    Check();
}

}  // namespace korvel
