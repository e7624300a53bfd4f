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
#include "link/Clock.h"
#include "monitor/MonitorFile.h"
#include "monitor/PlotState.h"
#include "session/CalibrationSession.h"
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
    PlotState plot;
    AcquisitionScheduler scheduler;
    // The image, its history, what the file and the ECU hold, every write.
    CalibrationSession session{scheduler};
    AcquisitionDriver driver;
    PortKeeper portKeeper;
    std::string monitorFileName;  // base name; emptied after every monitor file load
    std::string comPortName;
};

}  // namespace korvel
