#include "WordRead.h"

#include "Errors.h"
#include "format/NumberFormat.h"

#include <QFile>
#include <QStringDecoder>

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

// Files come from several releases and editors: take UTF-8 when the bytes are valid UTF-8,
// otherwise read them as Latin-1 so no byte is lost or rejected.
QString decode(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) return text;
    return QString::fromLatin1(bytes);
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

TWordReader::TWordReader(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) throw EInOutError(file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) throw EInOutError(file.errorString());
    setText(decode(bytes));
}

TWordReader TWordReader::fromText(const QString& text) {
    TWordReader reader;
    reader.setText(text);
    return reader;
}

void TWordReader::setText(const QString& text) {
    // CR LF, LF and a lone CR all end a line; a final terminator does not open another line.
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (text[i] == '\n' || text[i] == '\r') {
            m_lines.push_back({text.mid(start, i - start), {}});
            if (text[i] == '\r' && i + 1 < n && text[i + 1] == '\n') ++i;
            start = i + 1;
        }
    }
    if (start < n || m_lines.empty()) m_lines.push_back({text.mid(start), {}});
    for (auto& line : m_lines) line.items = splitItems(line.text);
    m_itemsFrom.assign(m_lines.size() + 1, 0);
    for (size_t i = m_lines.size(); i-- > 0;) m_itemsFrom[i] = m_itemsFrom[i + 1] + m_lines[i].items.size();
}

qsizetype TWordReader::itemsLeft() const {
    if (AtEnd()) return 0;
    return m_itemsFrom[static_cast<size_t>(m_line)] - m_item;
}

QString TWordReader::ReadLine() {
    if (AtEnd()) throw EInOutError(wordmsg::kIncomplete);
    QString text = m_lines[m_line].text;
    ++m_line;
    m_item = 0;
    return text;
}

QString TWordReader::nextItem(int& line, int& item) {
    if (AtEnd()) throw EInOutError(wordmsg::kIncomplete);
    if (m_item >= m_lines[m_line].items.size()) {
        ++m_line;
        m_item = 0;
        if (AtEnd()) throw EInOutError(wordmsg::kIncomplete);
        if (m_lines[m_line].items.isEmpty())
            throw EInOutError(wordmsg::lineItem(m_line + 1, 1) + wordmsg::kEmptyLine);
    }
    line = m_lastLine = m_line + 1;
    item = m_lastItem = m_item + 1;
    return m_lines[m_line].items[m_item++];
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
