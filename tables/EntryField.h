#pragma once
// The rules of a numeric entry field, apart from the control that shows it: the bounds and
// their order of effects, the integer rule, the value's text, the label's unit text and the exit
// validation. The line edit (TDataEdit) and the drop-down (TDataCombo) are built on this.
#include "base/UserInteraction.h"

#include <QString>
#include <cstdint>

namespace entrymsg {
inline const QString kValidInteger = QStringLiteral("Entry must be a valid integer.");
inline const QString kInteger = QStringLiteral("Entry must be an integer.");
inline const QString kAtLeast = QStringLiteral("Entry must be greater than or equal to ");
inline const QString kAtMost = QStringLiteral("Entry must be less than or equal to ");
} // namespace entrymsg

class EntryField {
public:
    explicit EntryField(MessageSink& messages, long double minVal, long double maxVal);
    virtual ~EntryField() = default;

    // The largest extended value but a few units in the last place, and its negative: the
    // bounds of a field that sets none.
    static long double DefaultMaxVal();

    bool IntegerOnly() const { return m_integerOnly; }
    void SetIntegerOnly(bool on);
    long double MinVal() const { return m_minVal; }
    void SetMinVal(long double value);
    long double MaxVal() const { return m_maxVal; }
    void SetMaxVal(long double value);
    int Units() const { return m_units; }
    void SetUnits(int units);
    const QString& UnitsString() const { return m_unitsString; }
    void SetUnitsString(const QString& category);
    const QString& Caption() const { return m_caption; }
    void SetCaption(const QString& caption);

    // The value: the text evaluated (EAssignError or EMathError when it is no number).
    long double Number();
    // Clamped into the bounds unless the form is being loaded; the text shows it.
    void SetNumber(long double value);
    // While a form is built its stored bounds and values are taken as they are.
    void SetLoading(bool loading) { m_loading = loading; }

    // The caption with the unit text of the current system.
    QString LabelText() const;
    // The value's text in the field's format.
    virtual QString FormatValue(long double value) const = 0;

    // The check when the user leaves the field: false (after the message) when the entry is
    // refused; a value beyond a bound is replaced by the bound.
    bool ExitValidation();
    bool IsValid() const { return m_valid; }

protected:
    virtual QString FieldText() const = 0;
    virtual void SetFieldText(const QString& text) = 0;
    virtual QString UnitText() const;
    // The text as it is evaluated (the drop-down replaces a named choice by its number first).
    virtual QString TextToEvaluate() { return FieldText(); }
    // Whether a valid entry is written back in the field's format.
    virtual bool RewritesText() const { return true; }
    // A bound as the messages show it.
    virtual QString BoundText(long double value) const;
    // The label follows the field's caption, units and enabled state.
    virtual void LabelChanged() {}
    MessageSink& m_messages;

private:
    long double IntegerClamp(long double value) const;

    bool m_integerOnly = false;
    long double m_minVal;
    long double m_maxVal;
    int m_units = 1;
    QString m_unitsString;
    QString m_caption;
    bool m_loading = false;
    bool m_valid = false;
};
