#pragma once
// The link's messages and status texts shown in the desktop program: a
// message box over the main window, or a status-bar pane repainted at once.

#include <QPointer>
#include <QWidget>
#include <functional>

#include "link/Reporter.h"
#include "ui/Prompter.h"

namespace korvel {

class GuiReporter : public Reporter {
public:
    explicit GuiReporter(Prompter& prompter) : prompter_(prompter) {}

    // Where messages are shown over, and how a pane's text is set.
    void Attach(QWidget* window, std::function<void(int pane, const QString& text)> setPane,
                std::function<void(const QString& text)> notice) {
        window_ = window;
        setPane_ = std::move(setPane);
        notice_ = std::move(notice);
    }

    void ShowMessage(const std::string& text) override {
        prompter_.Message(window_, QString::fromStdString(text), QString(), Prompter::Icon::Stop);
    }
    void SetPaneText(int pane, const std::string& text) override {
        if (setPane_) {
            setPane_(pane, QString::fromStdString(text));
        }
    }
    void ShowNotice(const std::string& text) override {
        if (notice_) {
            notice_(QString::fromStdString(text));
        }
    }

private:
    Prompter& prompter_;
    QPointer<QWidget> window_;
    std::function<void(int, const QString&)> setPane_;
    std::function<void(const QString&)> notice_;
};

}  // namespace korvel
