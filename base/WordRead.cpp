#include "WordRead.h"

#include "BoundedRead.h"
#include "Errors.h"
#include "FileAccess.h"
#include "format/NumberFormat.h"
#include "format/ProblemFormat.h"

#include <QFile>
#include <QUtf8StringView>

namespace {

QString stripLow(const QString& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && s[b].unicode() <= 32) ++b;
    while (e > b && s[e - 1].unicode() <= 32) --e;
    return s.mid(b, e - b);
}

QString stripLeadingLow(const QString& s) {
    qsizetype b = 0;
    while (b < s.size() && s[b].unicode() <= 32) ++b;
    return s.mid(b);
}

} // namespace

QStringList TWordReader::splitItems(const QString& line) {
    QStringList items;
    QString rest = stripLow(line);
    while (!rest.isEmpty()) {
        const qsizetype blank = rest.indexOf(' ');
        const qsizetype tab = rest.indexOf('\t');
        qsizetype end = rest.size();
        if (blank >= 0) end = blank;
        if (tab >= 0 && tab < end) end = tab;
        items.append(rest.left(end));
        rest = end < rest.size() ? stripLeadingLow(rest.mid(end + 1)) : QString();
    }
    return items;
}

QString wordmsg::tooLarge(const QString& fileName) {
    return QStringLiteral("The file %1 is larger than %2; it is no problem file and was not read.")
        .arg(fileName, QLatin1String(problemformat::kMaxFileText));
}

TWordReader::TWordReader(QByteArray bytes) : m_bytes(std::move(bytes)) {
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
        m_current = {};
        return;
    }
    qsizetype end = pos;
    while (end < n && m_bytes[end] != '\n' && m_bytes[end] != '\r') ++end;
    const char* data = m_bytes.constData() + pos;
    m_current.text = m_utf8 ? QString::fromUtf8(data, end - pos) : QString::fromLatin1(data, end - pos);
    m_current.items = splitItems(m_current.text);
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
    return (m_current.items.size() - m_item) + (m_bytes.size() - m_next + 1) / 2;
}

QString TWordReader::ReadLine() {
    if (AtEnd()) throw EInOutError(wordmsg::kIncomplete);
    QString text = m_current.text;
    nextLine();
    return text;
}

QString TWordReader::nextItem(int& line, int& item) {
    if (AtEnd()) throw EInOutError(wordmsg::kIncomplete);
    if (m_item >= m_current.items.size()) {
        nextLine();
        if (AtEnd()) throw EInOutError(wordmsg::kIncomplete);
        if (m_current.items.isEmpty())
            throw EInOutError(wordmsg::lineItem(m_index + 1, 1) + wordmsg::kEmptyLine);
    }
    line = m_lastLine = m_index + 1;
    item = m_lastItem = m_item + 1;
    return m_current.items[m_item++];
}

long double TWordReader::ReadReal() {
    int line = 0, item = 0;
    const QByteArray text = nextItem(line, item).toLatin1();
    auto v = numfmt::parseDecimal(std::string_view(text.constData(), text.size()));
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
