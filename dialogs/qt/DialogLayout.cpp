#include "dialogs/qt/DialogLayout.h"

#include <QEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStringList>
#include <algorithm>
#include <cstdlib>
#include <string>

#include "dialogs/FieldText.h"

namespace korvel {
namespace {

QFont DialogFont(int pointSize) {
    QFont font(QStringLiteral("MS Sans Serif"), pointSize);
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    font.setStyleHint(QFont::SansSerif);
    return font;
}

// Rounds like the platform's MulDiv(value, base, divisor).
int Scale(int value, int base, int divisor) {
    const int product = value * base;
    return (product + (product >= 0 ? divisor / 2 : -divisor / 2)) / divisor;
}

// Non-Latin-1 characters become '?', which is neither a digit nor a hex digit.
std::string Latin1Text(const QLineEdit* edit) {
    return edit->text().toLatin1().toStdString();
}

class EnterRejects : public QObject {
public:
    explicit EnterRejects(QDialog* dialog) : QObject(dialog), dialog_(dialog) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                dialog_->reject();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QDialog* dialog_;
};

}  // namespace

DialogTemplate::DialogTemplate(QDialog* dialog, const QString& caption, int pointSize, int width,
                               int height)
    : dialog_(dialog) {
    dialog->setWindowTitle(caption);
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    const QFont font = DialogFont(pointSize);
    dialog->setFont(font);
    // The platform's dialog base units: the rounded average width of the 52
    // letters, and the font height.
    const QFontMetrics metrics(font);
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    baseX_ = std::max(1, (metrics.horizontalAdvance(letters) / 26 + 1) / 2);
    baseY_ = std::max(1, metrics.height());
    dialog->setFixedSize(Map({0, 0, width, height}).size());
}

QRect DialogTemplate::Map(QRect units) const {
    return {Scale(units.x(), baseX_, 4), Scale(units.y(), baseY_, 8),
            Scale(units.width(), baseX_, 4), Scale(units.height(), baseY_, 8)};
}

QPushButton* DialogTemplate::Button(const char* id, const QString& text, QRect units) {
    auto* button = new QPushButton(text, dialog_);
    button->setObjectName(QString::fromLatin1(id));
    button->setGeometry(Map(units));
    return button;
}

QLineEdit* DialogTemplate::Edit(const char* id, QRect units) {
    auto* edit = new QLineEdit(dialog_);
    edit->setObjectName(QString::fromLatin1(id));
    edit->setGeometry(Map(units));
    return edit;
}

QLabel* DialogTemplate::Label(const QString& text, QRect units, Qt::Alignment align) {
    auto* label = new QLabel(text, dialog_);
    label->setAlignment(align | Qt::AlignTop);
    label->setGeometry(Map(units));
    return label;
}

QGroupBox* DialogTemplate::Group(const char* id, const QString& title, QRect units) {
    auto* group = new QGroupBox(title, dialog_);
    if (id != nullptr) {
        group->setObjectName(QString::fromLatin1(id));
    }
    group->setGeometry(Map(units));
    return group;
}

QListWidget* DialogTemplate::List(const char* id, QRect units) {
    auto* list = new QListWidget(dialog_);
    list->setObjectName(QString::fromLatin1(id));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list->setGeometry(Map(units));
    return list;
}

void CloseOnEnterInFields(QDialog* dialog) {
    auto* filter = new EnterRejects(dialog);
    for (QLineEdit* edit : dialog->findChildren<QLineEdit*>()) {
        edit->installEventFilter(filter);
    }
}

void SetFieldUnsigned(QLineEdit* edit, uint32_t value) {
    edit->setText(QString::number(value));
}

uint32_t FieldUnsigned(const QLineEdit* edit) {
    return FieldUnsigned(Latin1Text(edit));
}

std::optional<uint32_t> FieldHexAddress(const QLineEdit* edit) {
    return FieldHexAddress(Latin1Text(edit));
}

QLineEdit* FieldById(const QDialog* dialog, const char* id) {
    QLineEdit* edit = dialog->findChild<QLineEdit*>(QString::fromLatin1(id));
    if (edit == nullptr) {
        std::abort();
    }
    return edit;
}

}  // namespace korvel
