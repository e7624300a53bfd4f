#pragma once
// The File menu's calibration commands, the compare window and undo/redo,
// as the user meets them: the questions before a command, the file dialogs,
// the messages after it. What may be done and what it does is the session's;
// this class only talks to the user and runs transfers in the one bracket.

#include <QObject>
#include <QPointer>
#include <QString>
#include <vector>

#include "app/qt/ProgramState.h"
#include "app/qt/TransferBracket.h"
#include "dialogs/qt/CompareWindow.h"

class QDialog;
class QWidget;

namespace korvel {

class CalibrationCommands : public QObject {
    Q_OBJECT
public:
    CalibrationCommands(ProgramState& state, TransferBracket& bracket, QWidget* window);

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

    CompareWindow* Comparison() const { return compare_.data(); }

signals:
    // A write failed and said so: pane 0's "Programming FAILED" is to stay.
    void WriteFailed();

private:
    // Before Quit, Open and Upload: false when the user cancels (or the save fails).
    bool MaySaveChanges();
    bool SaveTo(const QString& path);
    void Program();
    void Take(const std::vector<int>& indices);
    // Tells the user what came of a write: a refusal, or how far a failed one got.
    void Report(const WriteResult& result, WriteKind kind);
    WriteResult RunWrite(const WriteRequest& request, int steps);

    ProgramState& state_;
    TransferBracket& bracket_;
    QWidget* window_;
    QPointer<CompareWindow> compare_;
};

}  // namespace korvel
