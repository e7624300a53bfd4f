#pragma once
// Drives a dialog's controls by their identifiers (object names).

#include <gtest/gtest.h>

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <ostream>

// Readable failure output for Qt strings (found by argument-dependent lookup).
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace korvel::testing {

inline QLineEdit* Field(const QDialog& dialog, const char* id) {
    auto* edit = dialog.findChild<QLineEdit*>(QString::fromLatin1(id));
    EXPECT_NE(edit, nullptr) << "no field " << id;
    return edit;
}

inline QString FieldText(const QDialog& dialog, const char* id) {
    QLineEdit* edit = Field(dialog, id);
    return edit != nullptr ? edit->text() : QStringLiteral("<missing>");
}

inline void SetField(const QDialog& dialog, const char* id, const QString& text) {
    if (QLineEdit* edit = Field(dialog, id)) {
        edit->setText(text);
    }
}

inline void Click(const QDialog& dialog, const char* id) {
    auto* button = dialog.findChild<QPushButton*>(QString::fromLatin1(id));
    ASSERT_NE(button, nullptr) << "no button " << id;
    button->click();
}

}  // namespace korvel::testing
