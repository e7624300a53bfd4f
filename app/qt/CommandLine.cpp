#include "app/qt/CommandLine.h"

#include <QRegularExpression>

#include "link/Transport.h"

namespace korvel {

CommandLine ParseCommandLine(const QStringList& arguments) {
    const QStringList words =
        arguments.join(' ').split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
    CommandLine line;
    const std::string base = words.size() > 0 ? words[0].toStdString() : std::string();
    const std::string port = words.size() > 1 ? words[1].toStdString() : std::string();
    line.monitorBaseName = base.empty() ? "Mon" : base;
    line.portName = CanonicalPortName(port);
    line.portGiven = !port.empty();
    return line;
}

}  // namespace korvel
