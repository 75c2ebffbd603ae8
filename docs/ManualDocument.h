#pragma once
// What turns a manual's Markdown into a document an engineer can cite: equations written in TeX and
// typeset (MathJax's SVG, drawn as vectors into the PDF and inlined into the HTML help), a table of
// contents with page numbers, page numbers on every page, and the PDF's bookmarks.
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTextObjectInterface>

class QTextDocument;

struct Equation {
    QString tex;
    bool display = false;                    // a paragraph of its own, centred
    QByteArray svg;                          // MathJax's SVG
    double width = 0, height = 0, depth = 0; // in ex; depth below the baseline
};

// Takes the TeX out of the Markdown, whose reader would take its backslashes, underscores and stars
// for its own, and leaves a token in each place: "$$...$$" (over several lines too) displayed, "$...$"
// inline (opening "$" before a non-blank, closing "$" after one, as Pandoc reads them). Code blocks,
// code spans and "\$" are left alone.
QString takeEquations(const QString& markdown, QList<Equation>& equations);
// The token that stands for equation `index` in the text.
QString equationToken(int index);

// Typesets every equation with the MathJax script (tools/equations/render.js) under Node.js; false,
// and why (naming the equation and the TeX error), when one does not typeset.
bool typesetEquations(QList<Equation>& equations, const QString& node, const QString& script, QString& why);

// Draws the equations of a document laid out for any paint device, as vectors.
class EquationObjects : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)
public:
    static constexpr int kObjectType = 0x1000 + 1; // QTextFormat::UserObject + 1
    explicit EquationObjects(const QList<Equation>& equations) : m_equations(equations) {}
    // Puts the equations in place of their tokens in `document` and registers the drawing of them.
    void place(QTextDocument& document);
    QSizeF intrinsicSize(QTextDocument* document, int position, const QTextFormat& format) override;
    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument* document, int position,
                    const QTextFormat& format) override;

private:
    const QList<Equation>& m_equations;
};

// A heading of the document and where it landed.
struct Heading {
    int level = 1; // 1 for "#"
    QString text;
    int page = 0;   // 0-based
    double top = 0; // from the page's top, in points
};

// Lays `document` out on A4 pages with a table of contents (headings of levels 1 and 2, with their
// page numbers) after its first block, numbers the pages, and writes the PDF with a bookmark for
// every heading of levels 1 to 3. False, and why, when the file cannot be written.
bool writeManualPdf(QTextDocument& document, const QString& title, const QString& path, QString& why);

// Appends bookmarks to a PDF as an incremental update (the file as written stays byte for byte in
// front): `headings` by level, nested, each leading to its page and height. False, and why, when the
// PDF is not one whose catalogue and pages this can find.
bool addPdfOutline(QByteArray& pdf, const QList<Heading>& headings, QString& why);

// The help's HTML from the document's: each heading an anchor, a table of contents linking every
// one at the top, and each equation's token replaced by its SVG.
QString linkedHtml(const QString& html, const QList<Equation>& equations);
