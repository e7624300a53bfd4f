#pragma once
// A Prompter for tests: records every message, question and file dialog and
// answers them from a script, so no test ever blocks on a modal window.

#include <QString>
#include <deque>
#include <functional>
#include <vector>

#include "ui/Prompter.h"

namespace korvel {

struct ScriptedPrompter : Prompter {
    struct Shown {
        QString text, caption;
        Icon icon;
        QStringList buttons = {};  // Choose's buttons; empty for a plain message
    };
    struct Asked {
        QString title, filter, defaultSuffix, initialName;
    };
    struct Question {
        QString text, caption, accept;  // accept: Confirm's button, empty for AskToSave
    };
    std::vector<Shown> messages;
    std::vector<Asked> fileDialogs;
    std::vector<Question> questions;
    // Answers for the next file dialogs and questions, in order; a null path,
    // or none left, cancels. Confirm takes anything but Cancel as its accept.
    std::deque<QString> fileAnswers;
    std::deque<Answer> answers;
    std::deque<QString> choices;       // Choose's answers: a button's text; none closes the box
    std::function<void()> whileShown;  // acts on a message box while it is "shown"

    void Message(QWidget*, const QString& text, const QString& caption, Icon icon) override {
        messages.push_back({text, caption, icon});
        if (whileShown) {
            whileShown();
        }
    }
    Answer AskToSave(QWidget*, const QString& text, const QString& caption) override {
        questions.push_back({text, caption, {}});
        return Pop(answers, Answer::Cancel);
    }
    bool Confirm(QWidget*, const QString& text, const QString& caption,
                 const QString& accept) override {
        questions.push_back({text, caption, accept});
        return Pop(answers, Answer::Cancel) != Answer::Cancel;
    }
    std::optional<QString> OpenFileName(QWidget*, const QString& title, const QString& filter,
                                        const QString& suffix, const QString& initial) override {
        fileDialogs.push_back({title, filter, suffix, initial});
        const QString path = Pop(fileAnswers, QString());
        return path.isNull() ? std::nullopt : std::optional(path);
    }
    std::optional<QString> SaveFileName(QWidget* parent, const QString& title,
                                        const QString& filter, const QString& suffix,
                                        const QString& initial) override {
        return OpenFileName(parent, title, filter, suffix, initial);
    }

    QString Choose(QWidget*, const QString& text, const QString& caption, Icon icon,
                   const QStringList& buttons, int) override {
        messages.push_back({text, caption, icon, buttons});
        if (whileShown) {
            whileShown();
        }
        return Pop(choices, QString());
    }

    template <typename T>
    static T Pop(std::deque<T>& queue, T none) {
        if (!queue.empty()) {
            none = queue.front();
            queue.pop_front();
        }
        return none;
    }
};

}  // namespace korvel
