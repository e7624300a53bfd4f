#pragma once
// The state every part of the desktop program shares for the whole run.

#include <functional>
#include <optional>
#include <string>

#include "acquisition/AcquisitionScheduler.h"
#include "app/qt/AcquisitionDriver.h"
#include "app/qt/GuiReporter.h"
#include "app/qt/PortHolder.h"
#include "app/qt/PortKeeper.h"
#include "calib/CalibrationImage.h"
#include "calib/DataFile.h"
#include "calib/ImageHistory.h"
#include "calib/KnownCopies.h"
#include "link/Clock.h"
#include "monitor/MonitorFile.h"
#include "monitor/PlotState.h"
#include "ui/Prompter.h"

namespace korvel {

// Everything that lives for the whole run.
struct ProgramState {
    ProgramState(Clock& clock, Prompter& prompter);

    Prompter& prompter;
    PortHolder port;
    GuiReporter reporter;
    EcuLink link;
    MonitorFile monitor;
    CalibrationImage image;
    ImageHistory history;  // undo and redo of every change to `image`
    KnownCopies copies;    // what the data file and the ECU hold
    // Set while the image holds a data file that did not fill every slot:
    // Download refuses until an Upload or a complete Open.
    std::optional<IncompleteDataFile> incompleteOpen;
    PlotState plot;
    AcquisitionScheduler scheduler;
    AcquisitionDriver driver;
    PortKeeper portKeeper;
    std::string monitorFileName;  // base name; emptied after every monitor file load
    std::string comPortName;
};

}  // namespace korvel
