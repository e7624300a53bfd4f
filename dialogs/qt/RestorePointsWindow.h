#pragma once
// "Restore Points": a modeless window listing the restore points, newest
// first, with their time, reason and data file and how many bytes each
// differs from the image in memory. Its buttons ask the main window to open
// the chosen point or to compare it with the ECU.

#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QTreeWidget>
#include <QWidget>
#include <map>
#include <string>

#include "calib/CalibrationImage.h"
#include "calib/RestorePoints.h"

namespace korvel {

class RestorePointsWindow : public QWidget {
    Q_OBJECT
public:
    // `image`: what the points are compared with; nullptr leaves the count empty.
    RestorePointsWindow(RestorePoints points, const CalibrationImage* image, QWidget* parent);

    // Lists the points afresh (one was saved meanwhile, or the image changed).
    void Refresh(const CalibrationImage* image);
    // "Compare with ECU" needs the ECU on line.
    void SetEcuOnLine(bool onLine);

    // The chosen point's path; empty when none (or an unreadable one) is chosen.
    QString SelectedPath() const;

signals:
    void OpenRequested(const QString& path);
    void CompareRequested(const QString& path);

private:
    void UpdateButtons();

    RestorePoints points_;
    std::map<std::string, CalibrationImage> read_;  // each point's bytes, once read
    bool ecuOnLine_ = true;
    QLabel* summary_;
    QTreeWidget* list_;
    QPushButton* open_;
    QPushButton* compare_;
};

}  // namespace korvel
