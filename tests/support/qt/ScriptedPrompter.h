#pragma once
// A Prompter for tests: records every message and answers file dialogs from
// a script, so no test ever blocks on a modal window.

#include <QString>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "ui/Prompter.h"

namespace korvel {

class ScriptedPrompter : public Prompter {
public:
    struct Shown {
        QString text, caption;
        Icon icon;
    };
    struct Asked {
        QString title, filter, defaultSuffix, initialName;
    };
    std::vector<Shown> messages;
    std::vector<Asked> fileDialogs;
    struct Question {
        QString text, caption, accept;  // accept: Confirm's button, empty for AskToSave
    };
    // Answers for the next file dialogs, in order; nullopt (or none left) cancels.
    std::deque<std::optional<QString>> fileAnswers;
    // Questions asked, and the answers for the next ones (none left cancels;
    // Confirm takes anything but Cancel as its accept button).
    std::vector<Question> questions;
    std::deque<Answer> answers;

    // Runs while a message is "shown", as the user would act on the box.
    std::function<void()> whileShown;

    void Message(QWidget*, const QString& text, const QString& caption, Icon icon) override {
        messages.push_back({text, caption, icon});
        if (whileShown) {
            whileShown();
        }
    }
    Answer AskToSave(QWidget*, const QString& text, const QString& caption) override {
        questions.push_back({text, caption, {}});
        return NextAnswer();
    }
    bool Confirm(QWidget*, const QString& text, const QString& caption,
                 const QString& accept) override {
        questions.push_back({text, caption, accept});
        return NextAnswer() != Answer::Cancel;
    }
    std::optional<QString> OpenFileName(QWidget*, const QString& title, const QString& filter,
                                        const QString& defaultSuffix,
                                        const QString& initialName) override {
        fileDialogs.push_back({title, filter, defaultSuffix, initialName});
        return Next();
    }
    std::optional<QString> SaveFileName(QWidget*, const QString& title, const QString& filter,
                                        const QString& defaultSuffix,
                                        const QString& initialName) override {
        fileDialogs.push_back({title, filter, defaultSuffix, initialName});
        return Next();
    }

private:
    Answer NextAnswer() {
        if (answers.empty()) {
            return Answer::Cancel;
        }
        const Answer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::optional<QString> Next() {
        // Taken apart rather than copied: GCC's -O2 flow analysis misreads a
        // copied optional<QString> as maybe uninitialised.
        const bool cancelled = fileAnswers.empty() || !fileAnswers.front().has_value();
        const QString path = cancelled ? QString() : *fileAnswers.front();
        if (!fileAnswers.empty()) {
            fileAnswers.pop_front();
        }
        if (cancelled) {
            return std::nullopt;
        }
        return path;
    }
};

}  // namespace korvel
