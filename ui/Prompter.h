#pragma once
// Every message box and file dialog of the program goes through this one
// interface, so tests can script the answers and never block on a modal window.

#include <QString>
#include <QStringList>
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

    // A question with the buttons Save, Discard and Cancel; closing the box
    // or Esc cancels. An empty caption means the program's own.
    virtual Answer AskToSave(QWidget* parent, const QString& text, const QString& caption) = 0;

    // A warning with the buttons `accept` and Cancel (the default); true for `accept`.
    virtual bool Confirm(QWidget* parent, const QString& text, const QString& caption,
                         const QString& accept) = 0;

    // An open-file dialog; nullopt when cancelled. `filter` uses Qt's syntax
    // ("Data Files (*.dat);;All Files (*)").
    virtual std::optional<QString> OpenFileName(QWidget* parent, const QString& title,
                                                const QString& filter, const QString& defaultSuffix,
                                                const QString& initialName) = 0;

    // A save-file dialog without an overwrite prompt, proposing `initialName`
    // (a path) when given; nullopt when cancelled.
    virtual std::optional<QString> SaveFileName(QWidget* parent, const QString& title,
                                                const QString& filter, const QString& defaultSuffix,
                                                const QString& initialName = QString()) = 0;

    // A message with `buttons`; buttons[defaultButton] is the default, and
    // Esc chooses it too. Returns the text of the button chosen (empty when
    // the box was closed some other way).
    virtual QString Choose(QWidget* parent, const QString& text, const QString& caption, Icon icon,
                           const QStringList& buttons, int defaultButton) = 0;
};

// The real thing: QMessageBox and QFileDialog.
class WidgetPrompter : public Prompter {
public:
    void Message(QWidget* parent, const QString& text, const QString& caption, Icon icon) override;
    Answer AskToSave(QWidget* parent, const QString& text, const QString& caption) override;
    bool Confirm(QWidget* parent, const QString& text, const QString& caption,
                 const QString& accept) override;
    std::optional<QString> OpenFileName(QWidget* parent, const QString& title,
                                        const QString& filter, const QString& defaultSuffix,
                                        const QString& initialName) override;
    std::optional<QString> SaveFileName(QWidget* parent, const QString& title,
                                        const QString& filter, const QString& defaultSuffix,
                                        const QString& initialName) override;
    QString Choose(QWidget* parent, const QString& text, const QString& caption, Icon icon,
                   const QStringList& buttons, int defaultButton) override;
};

}  // namespace korvel
