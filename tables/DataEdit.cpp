#include "DataEdit.h"

#include "format/NumberFormat.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiSubWindow>

QWidget* formOf(QWidget* w) {
    while (w && !w->isWindow() && !qobject_cast<QMdiSubWindow*>(w)) w = w->parentWidget();
    return w;
}

TDataEdit::TDataEdit(MessageSink& messages, QWidget* parent)
    : QLineEdit(parent), EntryField(messages, -DefaultMaxVal(), DefaultMaxVal()) {
    setText(QStringLiteral("0"));
}

void TDataEdit::SetHex(bool hex) {
    m_hex = hex;
}

void TDataEdit::SetEditLabel(QLabel* label) {
    m_label = label;
    if (label) label->setBuddy(this);
    LabelChanged();
}

QString TDataEdit::FormatValue(long double value) const {
    return QString::fromStdString(m_hex ? numfmt::hex(value) : numfmt::general(value, 18));
}

void TDataEdit::LabelChanged() {
    if (!m_label) return;
    m_label->setText(LabelText());
    m_label->setEnabled(isEnabled());
}

void TDataEdit::changeEvent(QEvent* event) {
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) LabelChanged();
}

bool TDataEdit::Validate() {
    if (ExitValidation()) return true;
    refocus();
    return false;
}

void TDataEdit::refocus() {
    if (!isVisible()) return;
    if (QWidget* form = formOf(this)) form->activateWindow();
    setFocus(Qt::OtherFocusReason);
}

// Leaving the field for another control of its form checks the entry; a switch to another
// window leaves that to the form's own deactivation.
void TDataEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    QWidget* now = QApplication::focusWidget();
    if (now && now != this && formOf(now) == formOf(this) && event->reason() != Qt::PopupFocusReason)
        Validate();
}

void TDataEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        ExitValidation();
        selectAll();
        return;
    }
    // An operator typed after a fresh value extends the expression instead of replacing it. Not the
    // minus sign: typed over a wholly selected value it starts a new, negative number (Tab into a
    // field showing 10 and type -5: the user means -5, not 10-5).
    static const QString operators = QStringLiteral("+/*^=%!");
    if (!event->text().isEmpty() && operators.contains(event->text().front()) && hasSelectedText() &&
        selectedText() == text())
        end(false);
    QLineEdit::keyPressEvent(event);
}
