#include "app/qt/CommandLine.h"

namespace korvel {

CommandLine ParseCommandLine(const QStringList& arguments) {
    std::vector<std::string> words;
    for (const QString& argument : arguments) {
        words.push_back(argument.toStdString());
    }
    return ParseCommandLine(words);
}

}  // namespace korvel
