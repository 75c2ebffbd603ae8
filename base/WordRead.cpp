#include "WordRead.h"

#include "BoundedRead.h"
#include "Errors.h"
#include "FileAccess.h"
#include "format/NumberFormat.h"
#include "format/ProblemFormat.h"

#include <QFile>
#include <QUtf8StringView>

namespace {

// Characters up to code 32 are stripped from both ends of a line and after each item; an item ends
// at a blank or a tab (other such characters stay inside it, which then is no number).
bool low(QChar c) {
    return c.unicode() <= 32;
}
qsizetype skipLow(const QString& line, qsizetype at, qsizetype end) {
    while (at < end && low(line[at])) ++at;
    return at;
}
qsizetype itemEnd(const QString& line, qsizetype at, qsizetype end) {
    while (at < end && line[at] != ' ' && line[at] != '\t') ++at;
    return at;
}
qsizetype trimmedEnd(const QString& line) {
    qsizetype e = line.size();
    while (e > 0 && low(line[e - 1])) --e;
    return e;
}

} // namespace

QStringList TWordReader::splitItems(const QString& line) {
    QStringList items;
    const qsizetype e = trimmedEnd(line);
    for (qsizetype b = skipLow(line, 0, e); b < e;) {
        const qsizetype end = itemEnd(line, b, e);
        items.append(line.mid(b, end - b));
        b = skipLow(line, end + 1, e);
    }
    return items;
}

QString wordmsg::tooLarge(const QString& fileName) {
    return QStringLiteral("The file %1 is larger than %2; it is no problem file and was not read.")
        .arg(fileName, QLatin1String(problemformat::kMaxFileText));
}

TWordReader::TWordReader(QByteArray bytes) : m_bytes(std::move(bytes)) {
    if (m_bytes.startsWith(problemformat::kByteOrderMark)) m_bytes.remove(0, 3);
    m_utf8 = QUtf8StringView(m_bytes).isValidUtf8();
    load(0);
}

TWordReader::TWordReader(const QString& fileName) {
    QFile file;
    if (QString why; !fileaccess::openForReading(file, fileName, why)) throw EInOutError(why);
    if (file.size() > static_cast<qint64>(problemformat::kMaxFileBytes))
        throw EInOutError(wordmsg::tooLarge(fileName));
    QByteArray bytes;
    if (!readAtMost(file, static_cast<qint64>(problemformat::kMaxFileBytes), bytes))
        throw EInOutError(wordmsg::tooLarge(fileName));
    if (file.error() != QFileDevice::NoError) throw EInOutError(file.errorString());
    *this = TWordReader(std::move(bytes));
}

TWordReader TWordReader::fromText(const QString& text) {
    return TWordReader(text.toUtf8());
}

// CR LF, LF and a lone CR all end a line; a final terminator does not open another line, but an
// empty text is one empty line.
void TWordReader::load(qsizetype pos) {
    const qsizetype n = m_bytes.size();
    if (pos > n || (pos == n && m_index > 0)) {
        m_hasLine = false;
        m_line.clear();
        m_itemAt = m_itemsEnd = 0;
        return;
    }
    qsizetype end = pos;
    while (end < n && m_bytes[end] != '\n' && m_bytes[end] != '\r') ++end;
    const char* data = m_bytes.constData() + pos;
    m_line = m_utf8 ? QString::fromUtf8(data, end - pos) : QString::fromLatin1(data, end - pos);
    m_itemsEnd = trimmedEnd(m_line);
    m_itemAt = skipLow(m_line, 0, m_itemsEnd);
    m_next = end < n ? end + (m_bytes[end] == '\r' && end + 1 < n && m_bytes[end + 1] == '\n' ? 2 : 1) : end;
    m_item = 0;
    m_hasLine = true;
}

void TWordReader::nextLine() {
    ++m_index;
    load(m_next);
}

int TWordReader::lineCount() const {
    int lines = 1;
    const qsizetype n = m_bytes.size();
    for (qsizetype i = 0; i < n; ++i)
        if (m_bytes[i] == '\n' || m_bytes[i] == '\r') {
            if (m_bytes[i] == '\r' && i + 1 < n && m_bytes[i + 1] == '\n') ++i;
            if (i + 1 < n) ++lines;
        }
    return lines;
}

qsizetype TWordReader::itemsLeftAtMost() const {
    if (AtEnd()) return 0;
    return (m_itemsEnd - m_itemAt + 1) / 2 + (m_bytes.size() - m_next + 1) / 2;
}

QString TWordReader::ReadLine() {
    if (AtEnd()) throw EInOutError(wordmsg::kIncomplete);
    QString text = m_line;
    nextLine();
    return text;
}

QString TWordReader::nextItem(int& line, int& item) {
    if (AtEnd()) throw EInOutError(wordmsg::kIncomplete);
    if (!hasItem()) {
        nextLine();
        if (AtEnd()) throw EInOutError(wordmsg::kIncomplete);
        if (!hasItem()) throw EInOutError(wordmsg::lineItem(m_index + 1, 1) + wordmsg::kEmptyLine);
    }
    line = m_lastLine = m_index + 1;
    item = m_lastItem = ++m_item;
    const qsizetype end = itemEnd(m_line, m_itemAt, m_itemsEnd);
    QString text = m_line.mid(m_itemAt, end - m_itemAt);
    m_itemAt = skipLow(m_line, end + 1, m_itemsEnd);
    return text;
}

long double TWordReader::ReadReal() {
    int line = 0, item = 0;
    const QByteArray text = nextItem(line, item).toLatin1();
    // A number beyond what a double holds is refused here as the engine refuses it.
    auto v = numfmt::parseStorable(std::string_view(text.constData(), text.size()));
    if (!v) throw EInOutError(wordmsg::lineItem(line, item) + wordmsg::kRealExpected);
    return *v;
}

int32_t TWordReader::ReadInteger() {
    int line = 0, item = 0;
    const QByteArray text = nextItem(line, item).toLatin1();
    auto v = numfmt::parseWholeInt32(std::string_view(text.constData(), text.size()));
    if (!v) throw EInOutError(wordmsg::lineItem(line, item) + wordmsg::kIntegerExpected);
    return *v;
}
