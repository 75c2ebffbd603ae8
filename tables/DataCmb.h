#pragma once
// The drop-down variant of the entry field: named choices stand for numbers, and a number may be
// typed as well.
#include "EntryField.h"

#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QStringList>

class TDataCombo : public QComboBox, public EntryField {
    Q_OBJECT
public:
    explicit TDataCombo(MessageSink& messages, QWidget* parent = nullptr);

    // Entry i stands for the number in Values entry i.
    QStringList Values;
    QLabel* EditLabel() const { return m_label; }
    void SetEditLabel(QLabel* label);
    bool Validate();

    QString FormatValue(long double value) const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    QString FieldText() const override { return currentText(); }
    void SetFieldText(const QString& text) override { setEditText(text); }
    QString UnitText() const override;
    QString TextToEvaluate() override;
    bool RewritesText() const override { return false; }
    QString BoundText(long double value) const override;
    void LabelChanged() override;

private:
    void leaving(Qt::FocusReason reason);
    QPointer<QLabel> m_label;
};
