#pragma once
// The command line as the framework hands it over.

#include <QStringList>

#include "app/CommandLine.h"

namespace korvel {

CommandLine ParseCommandLine(const QStringList& arguments);

}  // namespace korvel
