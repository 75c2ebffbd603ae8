#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace wordmsg {
inline const QString kIncomplete = QStringLiteral("This file either invalid or incomplete.");
inline QString lineItem(int line, int item) {
    return QStringLiteral("Error on Line %1 Item %2\r").arg(line).arg(item);
}
inline const QString kRealExpected = QStringLiteral("A floating point number was expected but not found.");
inline const QString kIntegerExpected = QStringLiteral("An integer was expected but not found.");
inline const QString kEmptyLine = QStringLiteral("The line is empty where a number was expected.");
QString tooLarge(const QString& fileName);
} // namespace wordmsg

// Splits a text file into blank- or tab-separated items and hands them out as text, reals or
// integers while also letting the caller take whole lines. Every error is an EInOutError.
//
// The file is read whole (files over the problem-file size limit are refused unread) but split
// into lines only as they are asked for, and a line into items only as they are taken, so whatever
// follows what the caller needs costs nothing and a line of millions of items costs its own size.
// Text is UTF-8 when the whole file is valid UTF-8, otherwise Latin-1, so no byte is lost.
class TWordReader {
public:
    explicit TWordReader(const QString& fileName);
    static TWordReader fromText(const QString& text);

    QString ReadLine();
    long double ReadReal();
    int32_t ReadInteger();
    bool AtEnd() const { return !m_hasLine; }

    // Physical lines of the whole text (an empty text is one empty line).
    int lineCount() const;
    // 1-based number of the current line (lineCount() + 1 at the end).
    int lineNumber() const { return m_index + 1; }
    // Items not yet taken, or more: every later item takes at least two characters of the text.
    qsizetype itemsLeftAtMost() const;
    // 1-based line and item number of the item taken last.
    int lastLine() const { return m_lastLine; }
    int lastItem() const { return m_lastItem; }
    // Splits one line the way the reader does.
    static QStringList splitItems(const QString& line);

private:
    TWordReader(QByteArray bytes);
    void load(qsizetype pos);
    void nextLine();
    // Takes the next item; reports its 1-based line and item numbers.
    QString nextItem(int& line, int& item);

    QByteArray m_bytes;
    bool m_utf8 = true;
    bool hasItem() const { return m_itemAt < m_itemsEnd; }

    QString m_line;           // the current line exactly as read
    qsizetype m_itemAt = 0;   // where its next item starts
    qsizetype m_itemsEnd = 0; // where its last item ends
    bool m_hasLine = false;
    qsizetype m_next = 0; // where the line after the current one starts
    int m_index = 0;
    int m_item = 0; // items taken from the current line
    int m_lastLine = 0;
    int m_lastItem = 0;
};
