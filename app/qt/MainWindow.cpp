#include "app/qt/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>

#include "app/qt/DataLogControl.h"
#include "dialogs/qt/Dialogs.h"
#include "dialogs/qt/PortDialog.h"

namespace korvel {

namespace {

const char* const EcuStateStartText = "Checking ECU Status";

}  // namespace

MainWindow::MainWindow(ProgramState& state) : state_(state) {
    setWindowIcon(QIcon(":/korvel.png"));
    panel_ = new MonitorPanel(state_.monitor, state_.plot, this);
    setCentralWidget(panel_);
    BuildStatusBar();
    bracket_ = new TransferBracket(state_.driver, state_.link, state_.prompter, statusBar());
    bracket_->Guard(this);
    calibration_ = new CalibrationCommands(state_, *bracket_, this, statusBar());
    editors_ = new EditorWindows(state_.session, state_.prompter, this);
    editors_->FollowEngine(state_.scheduler, state_.monitor);
    connect(calibration_, &CalibrationCommands::WriteFailed, this, [this] { failureHeld_ = true; });
    BuildMenus();

    state_.reporter.Attach(
        this, [this](int pane, const QString& text) { SetPaneText(pane, text); },
        [this](const QString& text) { ShowNotice(text); });
    panel_->Follow(state_.scheduler);
    dataLog_ = new DataLogControl(*this, state_, Action(CmdLog));
    state_.driver.afterStep = [this] {
        if (state_.scheduler.statusFlags.Test(DataLoaded) != dataLoadedShown_) {
            RefreshCommands();
        }
    };
    subscription_ = state_.session.Observe([this](const SessionEvent&) {
        UpdateTitle();
        UpdateEditMenu();
        RefreshCommands();
    });
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        resize(screen->availableSize() * 3 / 4);
    }
    UpdateTitle();
    RefreshCommands();
}

MainWindow::~MainWindow() {
    state_.driver.afterStep = nullptr;
    state_.reporter.Attach(nullptr, nullptr, nullptr);
}

// ---- Menus ----------------------------------------------------------------

void MainWindow::AddCommand(QMenu* menu, const char* text, int command) {
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::number(command));
    connect(action, &QAction::triggered, this, [this, command] { Run(command); });
    actions_[command] = action;
}

void MainWindow::BuildMenus() {
    QMenu* file = menuBar()->addMenu("File");
    AddCommand(file, "Open", CmdOpen);
    AddCommand(file, "Save", CmdSave);
    file->addSeparator();
    AddCommand(file, "Upload", CmdUpload);
    AddCommand(file, "Download", CmdDownload);
    AddCommand(file, "Compare with ECU...", CmdCompare);
    AddCommand(file, "Restore Points...", CmdRestorePoints);
    file->addSeparator();
    AddCommand(file, "Monitor", CmdMonitor);
    AddCommand(file, "Port...", CmdPort);
    AddCommand(file, "Start Log...", CmdLog);
    file->addSeparator();
    AddCommand(file, "Quit", CmdQuit);
    BuildEditMenu();

    QMenu* tables = menuBar()->addMenu("Tables");
    AddCommand(tables, "VE", CmdVe);
    AddCommand(tables, "VE (LP)", CmdVeLp);
    AddCommand(tables, "Spark", CmdSpark);

    QMenu* curves = menuBar()->addMenu("Curves");
    AddCommand(curves, "Fuel", CmdFuel);
    AddCommand(curves, "RPM", CmdRpm);

    QMenu* constants = menuBar()->addMenu("Constants");
    AddCommand(constants, "Governor", CmdGovernor);
    AddCommand(constants, "AE/MIS", CmdAeMis);
    AddCommand(constants, "RPM Presets", CmdRpmPresets);
    AddCommand(constants, "Peek/Poke", CmdPeekPoke);

    QMenu* plots = menuBar()->addMenu("Plots");
    AddCommand(plots, "Variable ...", CmdPlotVariable);
    AddCommand(plots, "Time Scale ...", CmdTimeScale);

    QMenu* options = menuBar()->addMenu("Options");
    expertAction_ = options->addAction("Expert Mode");
    expertAction_->setObjectName("expert");
    expertAction_->setCheckable(true);
    connect(expertAction_, &QAction::toggled, this, &MainWindow::SetExpertMode);

    QMenu* help = menuBar()->addMenu("Help");
    AddCommand(help, "About this program", CmdAbout);

    for (QMenu* menu : {file, tables, curves, constants, plots, options, help}) {
        connect(menu, &QMenu::aboutToShow, this, &MainWindow::RefreshCommands);
    }
}

// Undo and redo reach every window of the program: the editor windows are
// top-level windows of their own.
void MainWindow::BuildEditMenu() {
    QMenu* edit = menuBar()->addMenu("Edit");
    undoAction_ = edit->addAction("Undo");
    undoAction_->setObjectName("undo");
    undoAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    redoAction_ = edit->addAction("Redo");
    redoAction_->setObjectName("redo");
    redoAction_->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    for (QAction* action : {undoAction_, redoAction_}) {
        action->setShortcutContext(Qt::ApplicationShortcut);
        action->setEnabled(false);
    }
    connect(undoAction_, &QAction::triggered, this, [this] { calibration_->Undo(); });
    connect(redoAction_, &QAction::triggered, this, [this] { calibration_->Redo(); });
}

void MainWindow::UpdateEditMenu() {
    const ImageHistory& history = state_.session.History();
    undoAction_->setText(QString::fromStdString("Undo " + history.UndoName()).trimmed());
    undoAction_->setEnabled(history.CanUndo());
    redoAction_->setText(QString::fromStdString("Redo " + history.RedoName()).trimmed());
    redoAction_->setEnabled(history.CanRedo());
}

QAction* MainWindow::Action(int command) const {
    const auto found = actions_.find(command);
    return found == actions_.end() ? nullptr : found->second;
}

void MainWindow::RefreshCommands() {
    const StatusFlags flags = state_.scheduler.statusFlags;
    for (const auto& [command, action] : actions_) {
        action->setEnabled(IsCommandEnabled(command, flags, expert_));
    }
    dataLoadedShown_ = flags.Test(DataLoaded);
}

void MainWindow::SetExpertMode(bool on) {
    expert_ = on;
    expertAction_->setChecked(on);
    RefreshCommands();
    UpdateTitle();
}

// "Korvel ECU Interface - demo.dat *": the data file, and a mark while the
// image holds unsaved changes ("Untitled" when no file is known).
void MainWindow::UpdateTitle() {
    const bool unsaved = state_.session.HasUnsavedChanges();
    const QString name = QString::fromStdString(state_.session.FileName());
    QString title = "Korvel ECU Interface";
    if (!name.isEmpty() || unsaved) {
        title += " - " + (name.isEmpty() ? QString("Untitled") : name);
    }
    if (unsaved) {
        title += " *";
    }
    if (expert_) {
        title += " [Expert]";
    }
    setWindowTitle(title);
}

// ---- Status bar -----------------------------------------------------------

void MainWindow::BuildStatusBar() {
    messagePane_ = new QLabel(this);
    ecuStatePane_ = new QLabel(EcuStateStartText, this);
    const int margins = ecuStatePane_->contentsMargins().left() +
                        ecuStatePane_->contentsMargins().right() + 2 * ecuStatePane_->margin();
    ecuStatePane_->setMinimumWidth(
        ecuStatePane_->fontMetrics().horizontalAdvance(EcuStateStartText) + margins);
    statusBar()->addWidget(messagePane_, 1);
    statusBar()->addPermanentWidget(ecuStatePane_);
}

void MainWindow::SetPaneText(int pane, const QString& text) {
    QLabel* label = pane == MessagePane ? messagePane_ : ecuStatePane_;
    if (label->text() == text) {
        return;
    }
    label->setText(text);
    label->repaint();  // shown at once, also during a blocking transfer
}

QString MainWindow::PaneText(int pane) const {
    return (pane == MessagePane ? messagePane_ : ecuStatePane_)->text();
}

void MainWindow::ShowNotice(const QString& text) {
    if (!failureHeld_) {
        SetPaneText(MessagePane, text);
    }
}

QString MainWindow::DataFilePath() const {
    return QFile::decodeName(QByteArray::fromStdString(state_.session.ChosenPath()));
}

// ---- Command routing ------------------------------------------------------

// Every command may change what the others are enabled by.
void MainWindow::Run(int command) {
    failureHeld_ = false;  // the user has moved on
    Route(command);
    RefreshCommands();
}

void MainWindow::Route(int command) {
    switch (command) {
        case CmdOpen:
            return calibration_->Open();
        case CmdSave:
            return calibration_->Save();
        case CmdUpload:
            return calibration_->Upload();
        case CmdDownload:
            return calibration_->Download();
        case CmdCompare:
            return calibration_->Compare();
        case CmdRestorePoints:
            return calibration_->ShowRestorePoints();
        case CmdMonitor:
            return LoadMonitorFile();
        case CmdLog:
            return dataLog_->StartOrStop();
        case CmdPort:
            return ChoosePort();
        case CmdQuit:
            close();
            return;
        case CmdVe:
            return editors_->Open(EditorKind::Ve);
        case CmdVeLp:
            return editors_->Open(EditorKind::VeLp);
        case CmdSpark:
            return editors_->Open(EditorKind::Spark);
        case CmdFuel:
            return editors_->Open(EditorKind::Fuel);
        case CmdRpm:
            return editors_->Open(EditorKind::Rpm);
        default:
            return RunDialogCommand(command);
    }
}

void MainWindow::RunDialogCommand(int command) {
    ProgramState& s = state_;
    switch (command) {
        case CmdPlotVariable:
            PlotVariableDialog(s.monitor, s.plot, s.prompter, this).exec();
            break;
        case CmdTimeScale:
            TimeScaleDialog(s.plot, s.prompter, this).exec();  // stores only 1 s and more
            break;
        case CmdRpmPresets:
            calibration_->EditWithDialog("RPM Presets", [&](CalibrationImage& image) {
                RpmPresetsDialog(image, s.prompter, this).exec();
            });
            break;
        case CmdAeMis:
            calibration_->EditWithDialog("AE/MIS", [&](CalibrationImage& image) {
                AeMisDialog(image, s.prompter, this).exec();
            });
            break;
        case CmdGovernor:
            calibration_->EditWithDialog("Governor", [&](CalibrationImage& image) {
                GovernorDialog(image, s.prompter, this).exec();
            });
            break;
        case CmdAbout:
            AboutDialog(this).exec();
            break;
        case CmdPeekPoke: {
            // Peek and Poke own the line while the dialog is open.
            AcquisitionDriver::Pauser pause(s.driver);
            PeekPokeDialog(s.session, s.prompter, this).exec();
            break;
        }
        default:
            return;
    }
    AfterModalDialog();
}

void MainWindow::ChoosePort() {
    PortKeeper& keeper = state_.portKeeper;
    PortDialog dialog(keeper.ListPorts(), keeper.Name(), this);
    if (dialog.exec() == QDialog::Accepted) {
        const std::string name = CanonicalPortName(dialog.ChosenName());
        if (name != keeper.Name()) {
            state_.session.ForgetEcu();  // another port, maybe another ECU
        }
        state_.comPortName = name;
        keeper.SwitchTo(name);  // image, edits and editors stay as they are
    }
    AfterModalDialog();
}

void MainWindow::AfterModalDialog() {
    panel_->update();
    RefreshCommands();
}

// A close during a transfer is the transfer bracket's question.
void MainWindow::closeEvent(QCloseEvent* event) {
    if (!calibration_->MayQuit()) {
        event->ignore();  // a cancelled question keeps the program open
        return;
    }
    if (CompareWindow* compare = Comparison()) {
        compare->close();
    }
    editors_->CloseAll();
    dataLog_->Stop();  // the log ends with a whole last line
    QMainWindow::closeEvent(event);
}

}  // namespace korvel
