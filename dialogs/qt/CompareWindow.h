#pragma once
// "Compare with ECU": a modeless window listing the bytes in which the image
// differs from the ECU's calibration, each with its address, name and both
// values in the editors' units. Its two buttons ask the main window to
// program the listed bytes or to copy the selected ECU values into the image.

#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QWidget>
#include <vector>

#include "calib/CalibrationImage.h"
#include "editors/ByteNames.h"

namespace korvel {

class CompareWindow : public QWidget {
    Q_OBJECT
public:
    // `image` is the image as compared (its values are the ones programmed),
    // `ecu` the block read from the ECU.
    CompareWindow(const CalibrationImage& image, const CalibrationImage& ecu, QWidget* parent);

    const CalibrationImage& ComparedImage() const { return image_; }
    const CalibrationImage& EcuImage() const { return ecu_; }
    // The indices listed, ascending, and those of the selected rows.
    std::vector<int> ListedIndices() const;
    std::vector<int> SelectedIndices() const;

    // The listed bytes now agree (programmed, or taken from the ECU).
    void Resolve(const std::vector<int>& indices);

signals:
    void ProgramRequested();
    void TakeRequested(const std::vector<int>& indices);

private:
    void Fill();

    CalibrationImage image_;
    CalibrationImage ecu_;
    std::vector<ByteDifference> differences_;
    QLabel* summary_;
    QTreeWidget* list_;
    QPushButton* program_;
    QPushButton* take_;
};

}  // namespace korvel
