#pragma once
// The File menu's calibration commands, the compare window and undo/redo,
// as the user meets them: the questions before a command, the file dialogs,
// the messages after it. What may be done and what it does is the session's;
// this class only talks to the user and runs transfers in the one bracket.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <vector>

#include "app/qt/ProgramState.h"
#include "app/qt/RollbackRunner.h"
#include "app/qt/TransferBracket.h"
#include "dialogs/qt/CompareWindow.h"
#include "dialogs/qt/RestorePointsWindow.h"

class QDialog;
class QStatusBar;
class QWidget;

namespace korvel {

class CalibrationCommands : public QObject {
    Q_OBJECT
public:
    // The rollback's button goes into `statusBar`.
    CalibrationCommands(ProgramState& state, TransferBracket& bracket, QWidget* window,
                        QStatusBar* statusBar);
    ~CalibrationCommands() override;

    void Open();
    void Save();
    void Upload();
    void Download();
    void Compare();
    void Undo() { state_.session.Undo(); }
    void Redo() { state_.session.Redo(); }
    // A constants dialog run on a copy of the image; its OK is one step.
    void EditWithDialog(const char* name, const std::function<void(CalibrationImage&)>& run);

    // Before Quit: unsaved changes, then what the ECU holds. False: stay.
    bool MayQuit();

    // File > Restore Points...: the list, and what its buttons ask for.
    void ShowRestorePoints();
    void OpenPoint(const QString& path);
    void ComparePoint(const QString& path);
    // Loads recovered edits behind the unsaved-changes guard; false when the user stays.
    bool RecoverEdits(const CalibrationImage& image, const std::string& dataFile);

    CompareWindow* Comparison() const { return compare_.data(); }
    RestorePointsWindow* PointsWindow() const { return points_.data(); }
    RollbackRunner* Rollback() const { return rollback_; }

signals:
    // A write failed and said so: pane 0's "Programming FAILED" is to stay.
    void WriteFailed();

private:
    // Before Quit, Open and Upload: false when the user cancels (or the save fails).
    bool MaySaveChanges();
    bool SaveTo(const QString& path);
    void Program();
    void Take(const std::vector<int>& indices);
    void ShowComparison(CompareWindow* window);
    void FollowPoints();
    // Tells the user what came of a write: a refusal, or how far a failed one
    // got, offering to restore the ECU when it changed a byte.
    void Report(const WriteResult& result, const WriteRequest& request);
    WriteResult RunWrite(const WriteRequest& request, int steps);
    bool GoOnWithoutPoint(const std::string& why);

    ProgramState& state_;
    TransferBracket& bracket_;
    QWidget* window_;
    QPointer<CompareWindow> compare_;
    QPointer<RestorePointsWindow> points_;
    RollbackRunner* rollback_;
    CalibrationSession::Subscription pointsSubscription_;
    QTimer pointsWatch_;  // the ECU on line or not, while the list is open
};

}  // namespace korvel
