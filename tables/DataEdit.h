#pragma once
// The numeric entry field of the data dialogs: an expression is typed, checked against the
// field's bounds when the user leaves it, and replaced by its value; a companion label shows
// the quantity and its unit.
#include "EntryField.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>

class TDataEdit : public QLineEdit, public EntryField {
    Q_OBJECT
public:
    explicit TDataEdit(MessageSink& messages, QWidget* parent = nullptr);

    bool Hex() const { return m_hex; }
    void SetHex(bool hex);
    QLabel* EditLabel() const { return m_label; }
    void SetEditLabel(QLabel* label);
    // The exit validation, for a dialog about to store or close; the field keeps the focus when
    // it fails.
    bool Validate();

    QString FormatValue(long double value) const override;

protected:
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    QString FieldText() const override { return text(); }
    void SetFieldText(const QString& text) override { setText(text); }
    void LabelChanged() override;

private:
    void refocus();

    bool m_hex = false;
    QPointer<QLabel> m_label;
};

// The nearest window that holds `w` as one form: a subwindow of the frame, a dialog, or a window.
QWidget* formOf(QWidget* w);
