#include "dialogs/qt/RestorePointsWindow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

namespace korvel {

namespace {

enum Column { TimeColumn, ReasonColumn, FileColumn, DifferColumn };
constexpr int PathRole = Qt::UserRole;

QString LastComponent(const std::string& path) {
    const size_t slash = path.rfind('/');
    return QString::fromStdString(slash == std::string::npos ? path : path.substr(slash + 1));
}

QTreeWidgetItem* Row(const RestorePoint& point, const CalibrationImage* image, QTreeWidget* list,
                     std::map<std::string, CalibrationImage>& read) {
    auto* item = new QTreeWidgetItem(list);
    item->setText(TimeColumn, QString::fromStdString(point.time));
    item->setText(ReasonColumn, QString::fromStdString(point.reason));
    item->setText(FileColumn, LastComponent(point.dataFile));
    item->setToolTip(FileColumn, QString::fromStdString(point.dataFile));
    item->setToolTip(TimeColumn, QString::fromStdString(point.path));
    item->setTextAlignment(DifferColumn, Qt::AlignRight | Qt::AlignVCenter);
    // A point once saved is never rewritten: it is read once, not at every
    // change of the image (one being saved may be unreadable for a moment).
    auto found = read.find(point.path);
    if (found == read.end()) {
        CalibrationImage held;
        if (!LoadRestorePoint(point.path, held)) {
            item->setText(DifferColumn, QStringLiteral("unreadable"));
            return item;  // no path: it can be neither opened nor compared
        }
        found = read.emplace(point.path, held).first;
    }
    item->setData(TimeColumn, PathRole, QString::fromStdString(point.path));
    if (image != nullptr) {
        item->setText(DifferColumn, QString::number(CountDifferences(found->second, *image)));
    }
    return item;
}

}  // namespace

RestorePointsWindow::RestorePointsWindow(RestorePoints points, const CalibrationImage* image,
                                         QWidget* parent)
    : QWidget(parent, Qt::Window),
      points_(std::move(points)),
      summary_(new QLabel(this)),
      list_(new QTreeWidget(this)),
      open_(new QPushButton(QStringLiteral("Open"), this)),
      compare_(new QPushButton(QStringLiteral("Compare with ECU"), this)) {
    setWindowTitle(QStringLiteral("Restore Points"));
    setAttribute(Qt::WA_DeleteOnClose);
    list_->setHeaderLabels({"Time", "Reason", "Data File", "Bytes Differing"});
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionResizeMode(FileColumn, QHeaderView::Stretch);
    open_->setObjectName("open");
    compare_->setObjectName("compare");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(open_);
    buttons->addWidget(compare_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addWidget(list_);
    layout->addLayout(buttons);
    connect(open_, &QPushButton::clicked, this, [this] { emit OpenRequested(SelectedPath()); });
    connect(compare_, &QPushButton::clicked, this,
            [this] { emit CompareRequested(SelectedPath()); });
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &RestorePointsWindow::UpdateButtons);
    resize(600, 360);
    Refresh(image);
}

void RestorePointsWindow::Refresh(const CalibrationImage* image) {
    const QString selected = SelectedPath();
    list_->clear();
    const std::vector<RestorePoint> points = points_.List();
    for (const RestorePoint& point : points) {
        QTreeWidgetItem* item = Row(point, image, list_, read_);
        if (!selected.isEmpty() && item->data(TimeColumn, PathRole).toString() == selected) {
            item->setSelected(true);
        }
    }
    for (int column : {TimeColumn, ReasonColumn, DifferColumn}) {
        list_->resizeColumnToContents(column);
    }
    const QString folder = QString::fromStdString(points_.Folder());
    summary_->setText(points.empty() ? QString("No restore points in %1").arg(folder)
                                     : QString("%1 restore point%2 in %3")
                                           .arg(points.size())
                                           .arg(points.size() == 1 ? "" : "s")
                                           .arg(folder));
    UpdateButtons();
}

void RestorePointsWindow::SetEcuOnLine(bool onLine) {
    ecuOnLine_ = onLine;
    UpdateButtons();
}

QString RestorePointsWindow::SelectedPath() const {
    const QList<QTreeWidgetItem*> items = list_->selectedItems();
    return items.isEmpty() ? QString() : items.front()->data(TimeColumn, PathRole).toString();
}

void RestorePointsWindow::UpdateButtons() {
    const bool chosen = !SelectedPath().isEmpty();
    open_->setEnabled(chosen);
    compare_->setEnabled(chosen && ecuOnLine_);
}

}  // namespace korvel
