#include "app/qt/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
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

size_t SlotOf(EditorKind kind) {
    return static_cast<size_t>(kind);
}

}  // namespace

MainWindow::MainWindow(ProgramState& state) : state_(state) {
    UpdateTitle();
    setWindowIcon(QIcon(":/korvel.png"));
    panel_ = new MonitorPanel(state_.monitor, state_.plot, this);
    setCentralWidget(panel_);
    BuildMenus();
    BuildStatusBar();

    state_.reporter.Attach(this,
                           [this](int pane, const QString& text) { SetPaneText(pane, text); });
    panel_->Follow(state_.scheduler);
    dataLog_ = new DataLogControl(*this, state_, Action(CmdLog));
    state_.driver.afterStep = [this] {
        if (state_.scheduler.statusFlags.Test(DataLoaded) != dataLoadedShown_) {
            RefreshCommands();
        }
    };
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        resize(screen->availableSize() * 3 / 4);
    }
    RefreshCommands();
}

MainWindow::~MainWindow() {
    state_.driver.afterStep = nullptr;
    state_.reporter.Attach(nullptr, nullptr);
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
    connect(undoAction_, &QAction::triggered, this, &MainWindow::OnUndo);
    connect(redoAction_, &QAction::triggered, this, &MainWindow::OnRedo);
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
    const bool unsaved = state_.copies.HasUnsavedChanges(state_.image);
    const QString name = QString::fromStdString(state_.copies.FileName());
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
    progress_ = new QProgressBar(this);
    progress_->setRange(0, ImageSize);
    progress_->setMaximumWidth(200);
    progress_->hide();
    cancel_ = new QPushButton("Cancel", this);
    cancel_->setObjectName("cancel");
    cancel_->hide();
    connect(cancel_, &QPushButton::clicked, this, [this] { cancelRequested_ = true; });
    statusBar()->addWidget(messagePane_, 1);
    statusBar()->addWidget(progress_);
    statusBar()->addWidget(cancel_);
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

// ---- Command routing ------------------------------------------------------

void MainWindow::Run(int command) {
    switch (command) {
        case CmdOpen:
            return OnOpen();
        case CmdSave:
            return OnSave();
        case CmdUpload:
            return OnUpload();
        case CmdDownload:
            return OnDownload();
        case CmdCompare:
            return OnCompare();
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
            return OpenEditor(EditorKind::Ve);
        case CmdVeLp:
            return OpenEditor(EditorKind::VeLp);
        case CmdSpark:
            return OpenEditor(EditorKind::Spark);
        case CmdFuel:
            return OpenEditor(EditorKind::Fuel);
        case CmdRpm:
            return OpenEditor(EditorKind::Rpm);
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
            RunConstantsDialog(RpmPresetsDialog(s.image, s.prompter, this), "RPM Presets");
            break;
        case CmdAeMis:
            RunConstantsDialog(AeMisDialog(s.image, s.prompter, this), "AE/MIS");
            break;
        case CmdGovernor:
            RunConstantsDialog(GovernorDialog(s.image, s.prompter, this), "Governor");
            break;
        case CmdAbout:
            AboutDialog(this).exec();
            break;
        case CmdPeekPoke: {
            // Peek and Poke own the line while the dialog is open.
            AcquisitionDriver::Pauser pause(s.driver);
            PeekPokeDialog(
                s.link, s.prompter, [&s] { s.scheduler.FinishOutstanding(); }, this)
                .exec();
            break;
        }
        default:
            return;
    }
    AfterModalDialog();
}

void MainWindow::RunConstantsDialog(QDialog&& dialog, const char* name) {
    const CalibrationImage before = state_.image;
    dialog.exec();
    if (state_.history.Record(name, before, state_.image)) {
        AfterImageChange();
    }
}

void MainWindow::ChoosePort() {
    PortKeeper& keeper = state_.portKeeper;
    PortDialog dialog(keeper.ListPorts(), keeper.Name(), this);
    if (dialog.exec() == QDialog::Accepted) {
        state_.comPortName = CanonicalPortName(dialog.ChosenName());
        keeper.SwitchTo(state_.comPortName);  // image, edits and editors stay as they are
    }
    AfterModalDialog();
}

void MainWindow::AfterModalDialog() {
    panel_->update();
    RefreshCommands();
}

// ---- Undo, redo and unsaved changes ---------------------------------------

void MainWindow::OnUndo() {
    if (state_.history.Undo(state_.image)) {
        DropAllSelections();  // the editors show the image as it was, with no selection
        AfterImageChange();
    }
}

void MainWindow::OnRedo() {
    if (state_.history.Redo(state_.image)) {
        DropAllSelections();
        AfterImageChange();
    }
}

void MainWindow::AfterImageChange() {
    const ImageHistory& history = state_.history;
    undoAction_->setText(QString::fromStdString("Undo " + history.UndoName()).trimmed());
    undoAction_->setEnabled(history.CanUndo());
    redoAction_->setText(QString::fromStdString("Redo " + history.RedoName()).trimmed());
    redoAction_->setEnabled(history.CanRedo());
    UpdateTitle();
}

bool MainWindow::MaySaveChanges() {
    if (!state_.copies.HasUnsavedChanges(state_.image)) {
        return true;
    }
    QString name = QString::fromStdString(state_.copies.FileName());
    const QString text = QString("Save changes to %1?").arg(name.isEmpty() ? "Untitled" : name);
    switch (state_.prompter.AskToSave(this, text, QString())) {
        case Prompter::Answer::Save:
            break;
        case Prompter::Answer::Discard:
            return true;
        case Prompter::Answer::Cancel:
            return false;
    }
    if (!state_.copies.FilePath().empty()) {
        return SaveTo(QString::fromStdString(state_.copies.FilePath()));
    }
    OnSave();
    return !state_.copies.HasUnsavedChanges(state_.image);  // cancelled or failed: stay
}

bool MainWindow::MayLeaveEcuBehind() {
    if (!state_.scheduler.statusFlags.Test(EcuOnLine) ||
        !state_.copies.DiffersFromEcu(state_.image)) {
        return true;
    }
    return state_.prompter.Confirm(
        this, "The ECU does not hold the calibration in memory.\nQuit without a Download?",
        QString(), "Quit");
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (transferring_) {
        // The transfer stops at its next byte boundary, never inside a
        // programming sequence; the window closes once it has.
        event->ignore();
        qApp->removeEventFilter(this);  // the question's buttons need the user's clicks
        if (state_.prompter.Confirm(this,
                                    "A transfer with the ECU is running. Cancel it and close?",
                                    QString(), "Cancel Transfer")) {
            cancelRequested_ = true;
            closeAfterTransfer_ = true;
        }
        qApp->installEventFilter(this);
        return;
    }
    if (!MaySaveChanges() || !MayLeaveEcuBehind()) {
        event->ignore();  // a cancelled question keeps the program open
        return;
    }
    if (compare_) {
        compare_->close();
    }
    for (EditorSlot& slot : editors_) {
        if (slot.window) {
            slot.window->close();
        }
    }
    dataLog_->Stop();  // the log ends with a whole last line
    QMainWindow::closeEvent(event);
}

// ---- Editors --------------------------------------------------------------

EditorWindow* MainWindow::Editor(EditorKind kind) const {
    const EditorSlot& slot = editors_[SlotOf(kind)];
    return slot.open ? slot.window.data() : nullptr;
}

void MainWindow::OpenEditor(EditorKind kind) {
    EditorSlot& slot = editors_[SlotOf(kind)];
    if (slot.open && slot.window) {
        return;  // one window per kind; the open one is left as it is
    }
    EditorWindow* window =
        CreateEditorWindow(kind, state_.image, state_.history, state_.prompter, this);
    if (window == nullptr) {
        return;
    }
    slot.window = window;
    slot.open = true;
    connect(window, &EditorWindow::Closed, this,
            [this, kind] { editors_[SlotOf(kind)].open = false; });
    connect(window, &EditorWindow::ImageStructureChanged, this, &MainWindow::DropAllSelections);
    connect(window, &EditorWindow::ImageEdited, this, &MainWindow::AfterImageChange);
    if (kind == EditorKind::Fuel) {
        window->move(200, 200);
        window->resize(650, 250);
    }
    window->show();
}

void MainWindow::DropAllSelections() {
    for (EditorSlot& slot : editors_) {
        if (slot.open && slot.window) {
            slot.window->DropSelection();
        }
    }
}

}  // namespace korvel
