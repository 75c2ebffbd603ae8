#pragma once
// The "Col" value stream in which tables store their column definitions: a flat sequence of
// integers, strings, booleans, extended reals and lists. It has a binary form (tagged values as
// in a form resource) and a readable text form; both decode to the same value sequence and are
// read by the same ColReader.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

struct ColValue {
    enum Kind { Integer, String, Boolean, Extended, ListBegin, ListEnd };
    Kind kind = Integer;
    int32_t integer = 0;
    QString string;
    bool boolean = false;
    long double extended = 0;
};

namespace colmsg {
inline const QString kColumnCount = QStringLiteral("Error reading column count");
inline const QString kClassNotDefined = QStringLiteral("Error Column Class not defined");
inline QString creatingColumn(int k, const QString& why) {
    return QStringLiteral("Error occured when creating column %1: %2").arg(k).arg(why);
}
inline const QString kGraphicParameters = QStringLiteral("Error reading graphic parameters");
} // namespace colmsg

class ColWriter {
public:
    void writeInteger(int32_t v);
    void writeString(const QString& v);
    void writeBoolean(bool v);
    void writeExtended(long double v);
    void writeListBegin();
    void writeListEnd();
    const std::vector<ColValue>& values() const { return m_values; }

private:
    std::vector<ColValue> m_values;
};

// Reads values in order; a value of the wrong kind, or none left, raises ETableError.
class ColReader {
public:
    explicit ColReader(std::vector<ColValue> values) : m_values(std::move(values)) {}
    int32_t readInteger();
    QString readString();
    bool readBoolean();
    long double readExtended(); // an integer is accepted where an extended is expected
    void readListBegin();
    bool endOfList() const; // the next value closes a list
    void readListEnd();
    bool atEnd() const { return m_pos >= m_values.size(); }
    // Kind of the next value; raises when none is left.
    ColValue::Kind nextKind() const;

private:
    const ColValue& take(ColValue::Kind kind, const char* what);
    std::vector<ColValue> m_values;
    size_t m_pos = 0;
};

// Binary form: the property name "Col" (length-prefixed) and the tagged values.
QByteArray encodeColBinary(const std::vector<ColValue>& values);
std::vector<ColValue> decodeColBinary(const QByteArray& bytes);

// Text form: 2 ('Moist Unit', 'Weight') True False False 'FLOATCOLUMN2' 'F/L2^3' 0
// Strings in single quotes ('' for a quote, #13 for a character code), True/False, numbers with a
// point or exponent are extended values, lists in parentheses. Extended values are written with
// enough digits to come back as the same 80-bit value.
QString encodeColText(const std::vector<ColValue>& values);
std::vector<ColValue> decodeColText(const QString& text);
