#include "EntryField.h"

#include "Evaluator.h"
#include "base/Errors.h"
#include "base/Units.h"

#include <algorithm>
#include <cmath>

EntryField::EntryField(MessageSink& messages, long double minVal, long double maxVal)
    : m_messages(messages), m_minVal(minVal), m_maxVal(maxVal) {}

long double EntryField::DefaultMaxVal() {
    // Exponent field 0x7FFE, mantissa 0xFFFFFFFFFFFFFFB0.
    static const long double value =
        std::ldexp(static_cast<long double>(0xFFFFFFFFFFFFFFB0ULL), 0x7FFE - 16383 - 63);
    return value;
}

long double EntryField::IntegerClamp(long double value) const {
    return m_integerOnly ? std::clamp(value, -2147483648.0L, 2147483647.0L) : value;
}

void EntryField::SetIntegerOnly(bool on) {
    m_integerOnly = on;
    if (on && !m_loading) {
        SetMaxVal(m_maxVal);
        SetMinVal(m_minVal);
    }
}

void EntryField::SetMinVal(long double value) {
    if (!m_loading) value = IntegerClamp(std::min(value, m_maxVal));
    m_minVal = value;
    if (m_loading) return;
    try {
        if (value > Number()) SetNumber(value);
    } catch (const EDiziOvi&) {
        // A text that is no number stays until the user leaves the field.
    }
}

void EntryField::SetMaxVal(long double value) {
    if (!m_loading) {
        value = IntegerClamp(std::max(value, m_minVal));
        try {
            if (Number() > value) SetNumber(value);
        } catch (const EDiziOvi&) {
        }
    }
    m_maxVal = value;
}

void EntryField::SetUnits(int units) {
    m_units = units <= 0 ? 1 : std::min(units, 3);
    LabelChanged();
}

void EntryField::SetUnitsString(const QString& category) {
    m_unitsString = category;
    LabelChanged();
}

void EntryField::SetCaption(const QString& caption) {
    m_caption = caption;
    LabelChanged();
}

long double EntryField::Number() {
    return Evaluate(TextToEvaluate());
}

void EntryField::SetNumber(long double value) {
    if (!m_loading) value = std::clamp(value, m_minVal, m_maxVal);
    SetFieldText(FormatValue(value));
}

QString EntryField::UnitText() const {
    return EntryUnitLabel(m_unitsString, m_units);
}

QString EntryField::LabelText() const {
    if (m_unitsString.isEmpty()) return m_caption;
    return m_caption + QStringLiteral(" (") + UnitText() + ')';
}

QString EntryField::BoundText(long double value) const {
    return FormatValue(value);
}

bool EntryField::ExitValidation() {
    m_valid = false;
    long double x = 0;
    try {
        x = Number();
    } catch (const EDiziOvi& e) {
        m_messages.warning(m_integerOnly ? entrymsg::kValidInteger : e.message());
        return false;
    }
    if (m_integerOnly && x != std::trunc(x)) {
        m_messages.warning(entrymsg::kInteger);
        return false;
    }
    if (x < m_minVal) {
        SetNumber(m_minVal);
        m_messages.warning(entrymsg::kAtLeast + BoundText(m_minVal));
        return false;
    }
    if (x > m_maxVal) {
        SetNumber(m_maxVal);
        m_messages.warning(entrymsg::kAtMost + BoundText(m_maxVal));
        return false;
    }
    if (RewritesText()) SetFieldText(FormatValue(x));
    m_valid = true;
    return true;
}
