#pragma once
// Every message box and file dialog of the program goes through this one
// interface, so tests can script the answers and never block on a modal window.

#include <QString>
#include <optional>

class QWidget;

namespace korvel {

class Prompter {
public:
    enum class Icon { Stop, Exclamation };
    enum class Answer { Save, Discard, Cancel };

    virtual ~Prompter() = default;

    // A modal message with an OK button. An empty caption means the program's
    // own caption (application message boxes).
    virtual void Message(QWidget* parent, const QString& text, const QString& caption,
                         Icon icon) = 0;

    // A warning with the buttons `accept` and Cancel (the default); true for `accept`.
    virtual bool Confirm(QWidget* parent, const QString& text, const QString& caption,
                         const QString& accept) = 0;

    // An open-file dialog; nullopt when cancelled. `filter` uses Qt's syntax
    // ("Data Files (*.dat);;All Files (*)").
    virtual std::optional<QString> OpenFileName(QWidget* parent, const QString& title,
                                                const QString& filter, const QString& defaultSuffix,
                                                const QString& initialName) = 0;

    // A save-file dialog without an overwrite prompt; nullopt when cancelled.
    virtual std::optional<QString> SaveFileName(QWidget* parent, const QString& title,
                                                const QString& filter,
                                                const QString& defaultSuffix) = 0;
};

// The real thing: QMessageBox and QFileDialog.
class WidgetPrompter : public Prompter {
public:
    void Message(QWidget* parent, const QString& text, const QString& caption, Icon icon) override;
    bool Confirm(QWidget* parent, const QString& text, const QString& caption,
                 const QString& accept) override;
    std::optional<QString> OpenFileName(QWidget* parent, const QString& title,
                                        const QString& filter, const QString& defaultSuffix,
                                        const QString& initialName) override;
    std::optional<QString> SaveFileName(QWidget* parent, const QString& title,
                                        const QString& filter,
                                        const QString& defaultSuffix) override;
};

}  // namespace korvel
