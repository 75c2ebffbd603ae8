#pragma once
// The outcome of the last run inside the main window: a summary of its result file, and its
// report in a read-only window that can be searched.
#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTextBrowser;

class TResultsWindow : public QWidget {
public:
    explicit TResultsWindow(QWidget* parent = nullptr);
    // Shows what the result file says, or why it cannot be read.
    void showResultFile(const QString& resultFile);
    QString text() const; // what is shown, as plain text

private:
    QTextBrowser* m_view;
};

class TReportWindow : public QWidget {
public:
    explicit TReportWindow(QWidget* parent = nullptr);
    // Shows the report file; false and why when it cannot be read (the window keeps what it had).
    bool load(const QString& reportFile, QString& why);
    // Selects the next occurrence of `text` (any case) after the selection, from the top again
    // at the end; false when the report holds none.
    bool findNext(const QString& text);
    QString text() const;
    QString selectedText() const;
    QLineEdit* findField() const { return m_find; }

private:
    QPlainTextEdit* m_text;
    QLineEdit* m_find;
    QLabel* m_status;
};
