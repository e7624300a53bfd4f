#pragma once
// The program's only main window: the menu with its enabling rules, the
// status bar, the monitor panel and strip chart as its client area, and the
// routing of every menu command. The rules live in the session and the
// commands' classes; this window shows what they say.

#include <QDialog>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <array>
#include <map>

#include "app/qt/CalibrationCommands.h"
#include "app/qt/Commands.h"
#include "app/qt/EditorWindows.h"
#include "app/qt/ProgramState.h"
#include "app/qt/TransferBracket.h"
#include "dialogs/qt/CompareWindow.h"
#include "editors/qt/EditorWindow.h"
#include "monitor/qt/MonitorPanel.h"

namespace korvel {

class DataLogControl;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(ProgramState& state);
    ~MainWindow() override;

    // Status-bar pane 0 (MessagePane) or 1 (EcuStatePane), repainted at once.
    void SetPaneText(int pane, const QString& text);
    QString PaneText(int pane) const;
    // Pane 0 news that no command asked for (a port back, a log's count):
    // it does not cover a failed write's "Programming FAILED" until the
    // user's next command.
    void ShowNotice(const QString& text);

    QAction* Action(int command) const;
    // Applies the enabling rules to every command now.
    void RefreshCommands();

    // Options > Expert Mode: the editors, AE/MIS and Peek/Poke become
    // reachable and the title says so. Off at every start.
    void SetExpertMode(bool on);
    bool ExpertMode() const { return expert_; }

    MonitorPanel* Panel() const { return panel_; }
    // The open editor window of a kind, or null.
    EditorWindow* Editor(EditorKind kind) const { return editors_->Window(kind); }
    QString DataFilePath() const;
    // File > Start Log... and the status bar's rate pane.
    DataLogControl& LogControl() const { return *dataLog_; }

    // The open "Compare with ECU" window, or null.
    CompareWindow* Comparison() const { return calibration_->Comparison(); }
    CalibrationCommands& Calibration() const { return *calibration_; }
    // The status bar's Cancel button, shown during a transfer.
    QPushButton* CancelButton() const { return bracket_->CancelButton(); }

    // File > Monitor: reads the monitor file (offering the file dialog) and
    // sends the acquisition back to the presence probe.
    void LoadMonitorFile();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenus();
    void BuildStatusBar();
    void AddCommand(QMenu* menu, const char* text, int command);
    void BuildEditMenu();
    void UpdateTitle();
    void UpdateEditMenu();
    void Run(int command);
    void Route(int command);
    void RunDialogCommand(int command);
    void AfterModalDialog();
    void ChoosePort();
    bool ReadMonitorFileWithDialog(MonitorFile& into);

    ProgramState& state_;
    MonitorPanel* panel_ = nullptr;
    QLabel* messagePane_ = nullptr;
    QLabel* ecuStatePane_ = nullptr;
    TransferBracket* bracket_ = nullptr;
    CalibrationCommands* calibration_ = nullptr;
    EditorWindows* editors_ = nullptr;
    DataLogControl* dataLog_ = nullptr;
    std::map<int, QAction*> actions_;
    QAction* expertAction_ = nullptr;
    QAction* undoAction_ = nullptr;
    QAction* redoAction_ = nullptr;
    bool expert_ = false;
    bool failureHeld_ = false;  // pane 0 keeps a failed write's text until the next command
    bool dataLoadedShown_ = false;
    CalibrationSession::Subscription subscription_;
};

}  // namespace korvel
