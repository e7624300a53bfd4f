#pragma once
// "Compare with ECU": a modeless window listing the bytes in which the image
// differs from the ECU's calibration, each with its address, name and both
// values in the editors' units. Its two buttons ask for the listed bytes to
// be programmed or the selected ECU values to be taken into the image. Once
// the image or the ECU changes under it, the list no longer tells the truth:
// it says so, and both buttons stay disabled until the user compares again.
// It may compare a restore point instead of the image: the list then holds
// while the ECU does, and there is nothing to take.

#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QWidget>
#include <vector>

#include "calib/CalibrationImage.h"
#include "editors/ByteNames.h"
#include "session/CalibrationSession.h"

namespace korvel {

class CompareWindow : public QWidget {
    Q_OBJECT
public:
    // Compares the session's image, as it is now, with `ecu`, the block just
    // read from the ECU.
    CompareWindow(CalibrationSession& session, const CalibrationImage& ecu, QWidget* parent);
    // Compares the restore point at `pointPath`, which holds `point`, with `ecu`.
    CompareWindow(CalibrationSession& session, const CalibrationImage& point,
                  const QString& pointPath, const CalibrationImage& ecu, QWidget* parent);

    // The point's path; empty when the image is compared.
    const QString& PointPath() const { return pointPath_; }
    const CalibrationImage& ComparedImage() const { return image_; }
    const CalibrationImage& EcuImage() const { return ecu_; }
    // The indices listed, ascending, and those of the selected rows.
    std::vector<int> ListedIndices() const;
    std::vector<int> SelectedIndices() const;

    // The image or the ECU changed since the comparison.
    bool Stale() const { return stale_; }

    // The listed bytes now agree: programmed into the ECU, or taken from it.
    void Programmed(const std::vector<int>& indices);
    void Took(const std::vector<int>& indices);

signals:
    void ProgramRequested();
    void TakeRequested(const std::vector<int>& indices);

private:
    void Fill();
    void Resolve(const std::vector<int>& indices);
    void Check();
    void ShowState();

    CalibrationSession& session_;
    QString pointPath_;
    CalibrationImage image_;
    CalibrationImage ecu_;
    std::vector<ByteDifference> differences_;
    QLabel* summary_;
    QTreeWidget* list_;
    QPushButton* program_;
    QPushButton* take_;
    bool stale_ = false;
    CalibrationSession::Subscription subscription_;
};

}  // namespace korvel
