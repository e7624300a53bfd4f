#pragma once
// The program's only main window: the menu with its enabling rules, the
// two-pane status bar, the monitor panel and strip chart as its client
// area, and the routing of every menu command.

#include <QDialog>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <array>
#include <map>

#include "app/qt/Commands.h"
#include "app/qt/ProgramState.h"
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

    QAction* Action(int command) const;
    // Applies the enabling rules to every command now.
    void RefreshCommands();

    // Options > Expert Mode: the editors, AE/MIS and Peek/Poke become
    // reachable and the title says so. Off at every start.
    void SetExpertMode(bool on);
    bool ExpertMode() const { return expert_; }

    MonitorPanel* Panel() const { return panel_; }
    // The open editor window of a kind, or null.
    EditorWindow* Editor(EditorKind kind) const;
    QString DataFilePath() const { return dataFilePath_; }
    // File > Start Log... and the status bar's rate pane.
    DataLogControl& LogControl() const { return *dataLog_; }

    // The open "Compare with ECU" window, or null.
    CompareWindow* Comparison() const { return compare_.data(); }
    // The status bar's Cancel button, shown during a transfer.
    QPushButton* CancelButton() const { return cancel_; }

    // File > Monitor: reads the monitor file (offering the file dialog) and
    // sends the acquisition back to the presence probe.
    void LoadMonitorFile();

protected:
    void closeEvent(QCloseEvent* event) override;
    // During a transfer: only the Cancel button and Esc reach the program.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct EditorSlot {
        QPointer<EditorWindow> window;
        bool open = false;  // cleared when the window reports it closed
    };

    void BuildMenus();
    void BuildStatusBar();
    void AddCommand(QMenu* menu, const char* text, int command);
    void BuildEditMenu();
    void UpdateTitle();
    void Run(int command);
    void RunDialogCommand(int command);
    // Runs a constants dialog; its OK is one undoable step named `name`.
    void RunConstantsDialog(QDialog&& dialog, const char* name);
    void AfterModalDialog();
    void ChoosePort();

    // Undo and redo; every change to the image ends in AfterImageChange,
    // which updates the title and the Edit menu.
    void OnUndo();
    void OnRedo();
    void AfterImageChange();
    // Before Quit, Open and Upload: asks to save unsaved changes. False when
    // the user cancels (or the save fails): the command does not go on.
    bool MaySaveChanges();
    // Before Quit: warns when the ECU on line does not hold the image.
    bool MayLeaveEcuBehind();

    // File and transfer commands.
    void OnOpen();
    void OnSave();
    // Writes the image to `path`, reporting a failure; true when written.
    bool SaveTo(const QString& path);
    void OnUpload();
    void OnDownload();
    void OnCompare();
    void OnProgramChanges();
    void OnTakeEcuValues(const std::vector<int>& indices);
    void BeginTransfer(int steps = ImageSize);
    void TransferProgress();
    void EndTransfer();
    bool ReadMonitorFileWithDialog(MonitorFile& into);

    // Editors.
    void OpenEditor(EditorKind kind);
    // Every open editor forgets its selection and repaints: after a point
    // insertion, and when a new image replaces the old one.
    void DropAllSelections();

    ProgramState& state_;
    MonitorPanel* panel_ = nullptr;
    QLabel* messagePane_ = nullptr;
    QLabel* ecuStatePane_ = nullptr;
    QProgressBar* progress_ = nullptr;
    DataLogControl* dataLog_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPointer<CompareWindow> compare_;
    std::map<int, QAction*> actions_;
    QAction* expertAction_ = nullptr;
    QAction* undoAction_ = nullptr;
    QAction* redoAction_ = nullptr;
    bool expert_ = false;
    std::array<EditorSlot, 5> editors_;
    QString dataFilePath_;
    bool transferring_ = false;
    bool cancelRequested_ = false;
    bool closeAfterTransfer_ = false;
    bool dataLoadedShown_ = false;
};

}  // namespace korvel
