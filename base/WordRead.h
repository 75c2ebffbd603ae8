#pragma once
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace wordmsg {
inline const QString kIncomplete = QStringLiteral("This file either invalid or incomplete.");
inline QString lineItem(int line, int item) {
    return QStringLiteral("Error on Line %1 Item %2\r").arg(line).arg(item);
}
inline const QString kRealExpected = QStringLiteral("A floating point number was expected but not found.");
inline const QString kIntegerExpected = QStringLiteral("An integer was expected but not found.");
inline const QString kEmptyLine = QStringLiteral("The line is empty where a number was expected.");
} // namespace wordmsg

// One physical line: its items and its text exactly as read.
struct TWordContainer {
    QString text;
    QStringList items;
};

// Splits a text file into blank- or tab-separated items and hands them out as text, reals or
// integers while also letting the caller take whole lines. Every error is an EInOutError.
class TWordReader {
public:
    explicit TWordReader(const QString& fileName);
    static TWordReader fromText(const QString& text);

    QString ReadLine();
    long double ReadReal();
    int32_t ReadInteger();
    bool AtEnd() const { return m_line >= static_cast<int>(m_lines.size()); }

    int lineCount() const { return static_cast<int>(m_lines.size()); }
    // Items not yet taken; a count that needs more than this cannot be satisfied by the file.
    qsizetype itemsLeft() const;
    // 1-based line and item number of the item taken last.
    int lastLine() const { return m_lastLine; }
    int lastItem() const { return m_lastItem; }
    // Splits one line the way the reader does.
    static QStringList splitItems(const QString& line);

private:
    TWordReader() = default;
    void setText(const QString& text);
    // Takes the next item; reports its 1-based line and item numbers.
    QString nextItem(int& line, int& item);

    std::vector<TWordContainer> m_lines;
    std::vector<qsizetype> m_itemsFrom; // items on this line and every later one
    int m_line = 0;
    int m_item = 0;
    int m_lastLine = 0;
    int m_lastItem = 0;
};
