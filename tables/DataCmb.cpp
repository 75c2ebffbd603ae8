#include "DataCmb.h"

#include "DataEdit.h"
#include "base/Units.h"
#include "format/NumberFormat.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

TDataCombo::TDataCombo(MessageSink& messages, QWidget* parent)
    : QComboBox(parent), EntryField(messages, 0, 0) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setEditText(QStringLiteral("0"));
    lineEdit()->installEventFilter(this);
}

void TDataCombo::SetEditLabel(QLabel* label) {
    m_label = label;
    if (label) label->setBuddy(this);
    LabelChanged();
}

QString TDataCombo::FormatValue(long double value) const {
    return QString::fromStdString(IntegerOnly() ? numfmt::truncatedInteger(value)
                                                : numfmt::general(value, 8));
}

QString TDataCombo::BoundText(long double value) const {
    return QString::fromStdString(numfmt::general(value, 8));
}

QString TDataCombo::UnitText() const {
    return ComboUnitLabel(UnitsString(), Units());
}

// A named choice becomes its number in the field, then the number is read.
QString TDataCombo::TextToEvaluate() {
    const int i = findText(currentText(), Qt::MatchExactly);
    if (parentWidget() && i >= 0 && i < Values.size()) setEditText(Values[i]);
    return currentText();
}

void TDataCombo::LabelChanged() {
    if (!m_label) return;
    m_label->setText(LabelText());
    m_label->setEnabled(isEnabled());
}

void TDataCombo::changeEvent(QEvent* event) {
    QComboBox::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) LabelChanged();
}

bool TDataCombo::Validate() {
    if (ExitValidation()) return true;
    setFocus(Qt::OtherFocusReason);
    return false;
}

void TDataCombo::focusOutEvent(QFocusEvent* event) {
    QComboBox::focusOutEvent(event);
    leaving(event->reason());
}

// Leaving the field for another control of its form checks the entry.
void TDataCombo::leaving(Qt::FocusReason reason) {
    QWidget* now = QApplication::focusWidget();
    if (now && now != this && !isAncestorOf(now) && formOf(now) == formOf(this) &&
        reason != Qt::PopupFocusReason)
        Validate();
}

// Typed characters in upper case; only digits, "-", ".", "E" and backspace get through. Keys
// that type nothing (arrows, Tab, Enter) keep their usual meaning.
bool TDataCombo::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lineEdit() && event->type() == QEvent::FocusOut)
        leaving(static_cast<QFocusEvent*>(event)->reason());
    if (watched != lineEdit() || event->type() != QEvent::KeyPress)
        return QComboBox::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    const QString text = key->text();
    if (text.isEmpty() || key->key() == Qt::Key_Backspace || !text.front().isPrint()) return false;
    const QChar c = text.front().toUpper();
    if (!((c >= '0' && c <= '9') || c == '-' || c == '.' || c == 'E')) return true;
    if (c != text.front()) {
        QKeyEvent upper(QEvent::KeyPress, key->key(), key->modifiers(), QString(c));
        QApplication::sendEvent(lineEdit(), &upper);
        return true;
    }
    return false;
}
