#include "ColStream.h"

#include "base/Errors.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cstring>

static_assert(LDBL_MANT_DIG == 64, "the stream stores 80-bit extended reals");

namespace {

enum Tag : uint8_t {
    kNull = 0,
    kList = 1,
    kInt8 = 2,
    kInt16 = 3,
    kInt32 = 4,
    kExtended = 5,
    kString = 6,
    kFalse = 8,
    kTrue = 9,
    kLString = 12,
    kWString = 18,   // UTF-16, 32-bit length in characters
    kUTF8String = 20 // UTF-8, 32-bit length in bytes
};

bool isLatin1(const QString& s) {
    return std::all_of(s.begin(), s.end(), [](QChar c) { return c.unicode() < 256; });
}

[[noreturn]] void streamError(const QString& what) {
    throw ETableError(what);
}

void appendLE(QByteArray& out, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

QString extendedText(long double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    QString s = QString::fromLatin1(buf, r.ptr - buf);
    // Keep integers apart from extended values in the text form.
    if (!s.contains('.') && !s.contains('e') && !s.contains("inf") && !s.contains("nan")) s += ".0";
    return s;
}

QString quoted(const QString& s) {
    QString out;
    bool inQuote = false;
    for (QChar c : s) {
        if (c.unicode() < 32) {
            if (inQuote) out += '\'';
            inQuote = false;
            out += '#' + QString::number(c.unicode());
            continue;
        }
        if (!inQuote) out += '\'';
        inQuote = true;
        out += c == '\'' ? QStringLiteral("''") : QString(c);
    }
    if (inQuote) out += '\'';
    return out.isEmpty() ? QStringLiteral("''") : out;
}

} // namespace

void ColWriter::writeInteger(int32_t v) {
    m_values.push_back({ColValue::Integer, v, {}, false, 0});
}
void ColWriter::writeString(const QString& v) {
    m_values.push_back({ColValue::String, 0, v, false, 0});
}
void ColWriter::writeBoolean(bool v) {
    m_values.push_back({ColValue::Boolean, 0, {}, v, 0});
}
void ColWriter::writeExtended(long double v) {
    m_values.push_back({ColValue::Extended, 0, {}, false, v});
}
void ColWriter::writeListBegin() {
    m_values.push_back({ColValue::ListBegin, 0, {}, false, 0});
}
void ColWriter::writeListEnd() {
    m_values.push_back({ColValue::ListEnd, 0, {}, false, 0});
}

ColValue::Kind ColReader::nextKind() const {
    if (atEnd()) streamError(QStringLiteral("Unexpected end of column definitions"));
    return m_values[m_pos].kind;
}

const ColValue& ColReader::take(ColValue::Kind kind, const char* what) {
    if (nextKind() != kind) streamError(QStringLiteral("Invalid property value: %1 expected").arg(what));
    return m_values[m_pos++];
}

int32_t ColReader::readInteger() {
    return take(ColValue::Integer, "integer").integer;
}
QString ColReader::readString() {
    return take(ColValue::String, "string").string;
}
bool ColReader::readBoolean() {
    return take(ColValue::Boolean, "boolean").boolean;
}
long double ColReader::readExtended() {
    if (nextKind() == ColValue::Integer) return m_values[m_pos++].integer;
    return take(ColValue::Extended, "real").extended;
}
void ColReader::readListBegin() {
    take(ColValue::ListBegin, "list");
}
bool ColReader::endOfList() const {
    return nextKind() == ColValue::ListEnd;
}
void ColReader::readListEnd() {
    take(ColValue::ListEnd, "end of list");
}

QByteArray encodeColBinary(const std::vector<ColValue>& values) {
    QByteArray out;
    out.append(char(3)).append("Col");
    for (const auto& v : values) {
        switch (v.kind) {
        case ColValue::Integer:
            if (v.integer >= -128 && v.integer <= 127) {
                out.append(char(kInt8));
                appendLE(out, static_cast<uint8_t>(v.integer), 1);
            } else if (v.integer >= -32768 && v.integer <= 32767) {
                out.append(char(kInt16));
                appendLE(out, static_cast<uint16_t>(v.integer), 2);
            } else {
                out.append(char(kInt32));
                appendLE(out, static_cast<uint32_t>(v.integer), 4);
            }
            break;
        case ColValue::String: {
            // Text beyond Latin-1 would lose characters in the one-byte forms.
            if (!isLatin1(v.string)) {
                const QByteArray utf8 = v.string.toUtf8();
                out.append(char(kUTF8String));
                appendLE(out, static_cast<uint32_t>(utf8.size()), 4);
                out.append(utf8);
                break;
            }
            const QByteArray bytes = v.string.toLatin1();
            if (bytes.size() <= 255) {
                out.append(char(kString));
                out.append(static_cast<char>(bytes.size()));
            } else {
                out.append(char(kLString));
                appendLE(out, static_cast<uint32_t>(bytes.size()), 4);
            }
            out.append(bytes);
            break;
        }
        case ColValue::Boolean: out.append(char(v.boolean ? kTrue : kFalse)); break;
        case ColValue::Extended: {
            out.append(char(kExtended));
            char raw[sizeof(long double)] = {};
            std::memcpy(raw, &v.extended, sizeof(long double));
            out.append(raw, 10);
            break;
        }
        case ColValue::ListBegin: out.append(char(kList)); break;
        case ColValue::ListEnd: out.append(char(kNull)); break;
        }
    }
    return out;
}

std::vector<ColValue> decodeColBinary(const QByteArray& bytes) {
    std::vector<ColValue> values;
    qsizetype pos = 0;
    auto need = [&](qsizetype n) {
        if (pos + n > bytes.size()) streamError(QStringLiteral("Unexpected end of column definitions"));
    };
    auto readLE = [&](int n) {
        need(n);
        uint64_t v = 0;
        for (int i = 0; i < n; ++i)
            v |= static_cast<uint64_t>(static_cast<uint8_t>(bytes[pos + i])) << (8 * i);
        pos += n;
        return v;
    };
    need(4);
    if (bytes.left(4) != QByteArray("\x03"
                                    "Col",
                                    4))
        streamError(QStringLiteral("Property Col expected"));
    pos = 4;
    while (pos < bytes.size()) {
        const auto tag = static_cast<uint8_t>(bytes[pos++]);
        ColValue v;
        switch (tag) {
        case kInt8: v.integer = static_cast<int8_t>(readLE(1)); break;
        case kInt16: v.integer = static_cast<int16_t>(readLE(2)); break;
        case kInt32: v.integer = static_cast<int32_t>(readLE(4)); break;
        case kString:
        case kLString: {
            const auto n = static_cast<qsizetype>(readLE(tag == kString ? 1 : 4));
            need(n);
            v.kind = ColValue::String;
            v.string = QString::fromLatin1(bytes.constData() + pos, n);
            pos += n;
            break;
        }
        case kUTF8String: {
            const auto n = static_cast<qsizetype>(readLE(4));
            need(n);
            v.kind = ColValue::String;
            v.string = QString::fromUtf8(bytes.constData() + pos, n);
            pos += n;
            break;
        }
        case kWString: {
            const auto n = static_cast<qsizetype>(readLE(4));
            need(2 * n);
            v.kind = ColValue::String;
            v.string.resize(n);
            for (qsizetype i = 0; i < n; ++i) v.string[i] = QChar(static_cast<char16_t>(readLE(2)));
            break;
        }
        case kTrue:
        case kFalse:
            v.kind = ColValue::Boolean;
            v.boolean = tag == kTrue;
            break;
        case kExtended: {
            need(10);
            char raw[sizeof(long double)] = {};
            std::memcpy(raw, bytes.constData() + pos, 10);
            std::memcpy(&v.extended, raw, sizeof(long double));
            v.kind = ColValue::Extended;
            pos += 10;
            break;
        }
        case kList: v.kind = ColValue::ListBegin; break;
        case kNull: v.kind = ColValue::ListEnd; break;
        default: streamError(QStringLiteral("Unknown value tag %1 in column definitions").arg(tag));
        }
        values.push_back(v);
    }
    return values;
}

QString encodeColText(const std::vector<ColValue>& values) {
    QString out;
    bool afterOpen = true;
    for (const auto& v : values) {
        if (v.kind == ColValue::ListEnd) {
            out += ')';
            afterOpen = false;
            continue;
        }
        if (!afterOpen) out += ' ';
        afterOpen = false;
        switch (v.kind) {
        case ColValue::Integer: out += QString::number(v.integer); break;
        case ColValue::String: out += quoted(v.string); break;
        case ColValue::Boolean: out += v.boolean ? QStringLiteral("True") : QStringLiteral("False"); break;
        case ColValue::Extended: out += extendedText(v.extended); break;
        case ColValue::ListBegin:
            out += '(';
            afterOpen = true;
            break;
        case ColValue::ListEnd: break;
        }
    }
    return out;
}

std::vector<ColValue> decodeColText(const QString& text) {
    std::vector<ColValue> values;
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto bad = [&](const QString& what) {
        streamError(QStringLiteral("Column definitions: %1 at character %2").arg(what).arg(i + 1));
    };
    while (i < n) {
        const QChar c = text[i];
        if (c.isSpace() || c == ',') {
            ++i;
            continue;
        }
        ColValue v;
        if (c == '(') {
            v.kind = ColValue::ListBegin;
            ++i;
        } else if (c == ')') {
            v.kind = ColValue::ListEnd;
            ++i;
        } else if (c == '\'' || c == '#') {
            v.kind = ColValue::String;
            while (i < n && (text[i] == '\'' || text[i] == '#')) {
                if (text[i] == '#') {
                    qsizetype j = ++i;
                    while (j < n && text[j].isDigit()) ++j;
                    if (j == i) bad(QStringLiteral("character code expected"));
                    v.string += QChar(text.mid(i, j - i).toInt());
                    i = j;
                    continue;
                }
                ++i;
                for (;;) {
                    if (i >= n) bad(QStringLiteral("unterminated string"));
                    if (text[i] == '\'') {
                        if (i + 1 < n && text[i + 1] == '\'') {
                            v.string += '\'';
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    v.string += text[i++];
                }
            }
        } else {
            qsizetype j = i;
            while (j < n && !text[j].isSpace() && text[j] != ',' && text[j] != '(' && text[j] != ')' &&
                   text[j] != '\'')
                ++j;
            const QString word = text.mid(i, j - i);
            if (word.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) {
                v.kind = ColValue::Boolean;
                v.boolean = true;
            } else if (word.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) {
                v.kind = ColValue::Boolean;
            } else if (!word.contains('.') && !word.contains('e') && !word.contains('E')) {
                bool ok = false;
                v.integer = word.toInt(&ok);
                if (!ok) bad(QStringLiteral("'%1' is no value").arg(word));
            } else {
                const QByteArray latin = word.toLatin1();
                v.kind = ColValue::Extended;
                auto r = std::from_chars(latin.constData(), latin.constData() + latin.size(), v.extended);
                if (r.ec != std::errc() || r.ptr != latin.constData() + latin.size())
                    bad(QStringLiteral("'%1' is no value").arg(word));
            }
            i = j;
        }
        values.push_back(v);
    }
    return values;
}
