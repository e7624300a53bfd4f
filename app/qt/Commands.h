#pragma once
// The menu commands: their identifiers (also each QAction's objectName) and
// the rule that enables each one from the status flags.

#include "acquisition/StatusFlags.h"

namespace korvel {

enum CommandId : int {
    CmdOpen = 40001,
    CmdSave = 40002,
    CmdUpload = 40003,
    CmdDownload = 40004,
    CmdQuit = 40005,
    CmdVe = 40007,
    CmdVeLp = 40008,
    CmdSpark = 40009,
    CmdFuel = 40010,
    CmdRpm = 40011,
    CmdGovernor = 40013,
    CmdAeMis = 40014,
    CmdRpmPresets = 40015,
    CmdPlotVariable = 40016,
    CmdTimeScale = 40017,
    CmdAbout = 40019,
    CmdMonitor = 40020,
    CmdPeekPoke = 40021,
    CmdCompare = 40022,  // File > Compare with ECU...
    CmdLog = 40030,      // "Start Log..." / "Stop Log"
    CmdPort = 40040,     // File > Port...: choose the serial port
    // File > Restore Points...
    CmdRestorePoints = 40050,
};

enum class CommandEnableRule {
    Always,
    EnabledWhenDataLoaded,
    EnabledWhenDataLoadedAndOnLine,
    NeverEnabled
};

// In expert mode the commands that are otherwise never enabled become
// available: the editors and AE/MIS once data is loaded, Peek/Poke always
// (it talks to the ECU whatever the polling state).
constexpr CommandEnableRule EnableRuleOf(int command, bool expert = false) {
    switch (command) {
        case CmdSave:
        case CmdDownload:
        case CmdRpm:
        case CmdGovernor:
        case CmdRpmPresets:
            return CommandEnableRule::EnabledWhenDataLoaded;
        case CmdCompare:
            return CommandEnableRule::EnabledWhenDataLoadedAndOnLine;
        // Built and tested, but never enabled from the menu yet.
        case CmdVe:
        case CmdVeLp:
        case CmdSpark:
        case CmdFuel:
        case CmdAeMis:
            return expert ? CommandEnableRule::EnabledWhenDataLoaded
                          : CommandEnableRule::NeverEnabled;
        case CmdPeekPoke:
            return expert ? CommandEnableRule::Always : CommandEnableRule::NeverEnabled;
        case CmdRestorePoints:  // the points are there with data loaded or not
            return CommandEnableRule::Always;
        default:
            return CommandEnableRule::Always;
    }
}

constexpr bool IsCommandEnabled(int command, StatusFlags flags, bool expert = false) {
    switch (EnableRuleOf(command, expert)) {
        case CommandEnableRule::EnabledWhenDataLoaded:
            return flags.Test(DataLoaded);
        case CommandEnableRule::EnabledWhenDataLoadedAndOnLine:
            return flags.Test(DataLoaded) && flags.Test(EcuOnLine);
        case CommandEnableRule::NeverEnabled:
            return false;
        case CommandEnableRule::Always:
            break;
    }
    return true;
}

}  // namespace korvel
