#include "ManualDocument.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QFontMetricsF>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSvgRenderer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <algorithm>
#include <cmath>
#include <functional>
#include <map>

namespace {

constexpr QChar kOpen(0x27EA), kClose(0x27EB); // ⟪ ⟫: in no manual's text
constexpr int kEquationIndex = 0x100000 + 1;   // QTextFormat::UserProperty + 1

// MathJax measures in ex of a font whose ex is half its em; the text's em sets the scale.
double exOf(const QTextDocument* document) {
    const QPaintDevice* device = document->documentLayout()->paintDevice();
    const double dpi = device ? device->logicalDpiY() : 96.0;
    return document->defaultFont().pointSizeF() * dpi / 72.0 / 2.0;
}

} // namespace

QString equationToken(int index) {
    return QString(kOpen) + QString::number(index) + QString(kClose);
}

QString takeEquations(const QString& markdown, QList<Equation>& equations) {
    QString out;
    out.reserve(markdown.size());
    bool fenced = false, display = false;
    QString tex;
    for (const QString& line : markdown.split(QLatin1Char('\n'))) {
        if (!display && line.trimmed().startsWith(QLatin1String("```"))) {
            fenced = !fenced;
            out += line + QLatin1Char('\n');
            continue;
        }
        if (fenced) {
            out += line + QLatin1Char('\n');
            continue;
        }
        QString result;
        qsizetype i = 0;
        while (i < line.size()) {
            if (display) {
                const qsizetype end = line.indexOf(QLatin1String("$$"), i);
                if (end < 0) {
                    tex += line.mid(i) + QLatin1Char('\n');
                    i = line.size();
                    break;
                }
                tex += line.mid(i, end - i);
                equations << Equation{tex.trimmed(), true, {}, 0, 0, 0};
                result += equationToken(static_cast<int>(equations.size() - 1));
                display = false;
                tex.clear();
                i = end + 2;
                continue;
            }
            const QChar c = line[i];
            if (c == QLatin1Char('`')) { // a code span, to its closing run of as many backticks
                qsizetype run = 0;
                while (i + run < line.size() && line[i + run] == QLatin1Char('`')) ++run;
                const qsizetype close = line.indexOf(QString(run, QLatin1Char('`')), i + run);
                const qsizetype to = close < 0 ? line.size() : close + run;
                result += line.mid(i, to - i);
                i = to;
                continue;
            }
            if (c == QLatin1Char('\\') && i + 1 < line.size() && line[i + 1] == QLatin1Char('$')) {
                result += line.mid(i, 2);
                i += 2;
                continue;
            }
            if (line.mid(i, 2) == QLatin1String("$$")) {
                display = true;
                tex.clear();
                i += 2;
                continue;
            }
            if (c == QLatin1Char('$') && i + 1 < line.size() && !line[i + 1].isSpace()) {
                qsizetype end = i + 1;
                while ((end = line.indexOf(QLatin1Char('$'), end)) >= 0 &&
                       (line[end - 1].isSpace() || line[end - 1] == QLatin1Char('\\')))
                    ++end;
                if (end > i + 1) {
                    equations << Equation{line.mid(i + 1, end - i - 1), false, {}, 0, 0, 0};
                    result += equationToken(static_cast<int>(equations.size() - 1));
                    i = end + 1;
                    continue;
                }
            }
            result += c;
            ++i;
        }
        out += result;
        if (!display) out += QLatin1Char('\n');
    }
    if (display) out += QLatin1String("$$") + tex; // never closed: left as written, for the reader to see
    if (out.endsWith(QLatin1Char('\n')) && !markdown.endsWith(QLatin1Char('\n'))) out.chop(1);
    return out;
}

bool typesetEquations(QList<Equation>& equations, const QString& node, const QString& script, QString& why) {
    if (equations.isEmpty()) return true;
    QJsonArray input;
    for (const Equation& e : equations) input.append(QJsonObject{{"tex", e.tex}, {"display", e.display}});
    QProcess mathjax;
    mathjax.start(node, {script});
    if (!mathjax.waitForStarted(30000)) {
        why = QStringLiteral("%1 did not start: %2").arg(node, mathjax.errorString());
        return false;
    }
    mathjax.write(QJsonDocument(input).toJson(QJsonDocument::Compact));
    mathjax.closeWriteChannel();
    if (!mathjax.waitForFinished(300000) || mathjax.exitStatus() != QProcess::NormalExit ||
        mathjax.exitCode() != 0) {
        why = QStringLiteral("the equations could not be typeset: %1")
                  .arg(QString::fromUtf8(mathjax.readAllStandardError()).trimmed());
        return false;
    }
    const QJsonArray out = QJsonDocument::fromJson(mathjax.readAllStandardOutput()).array();
    if (out.size() != equations.size()) {
        why = QStringLiteral("the typesetter gave %1 equations for %2").arg(out.size()).arg(equations.size());
        return false;
    }
    for (qsizetype i = 0; i < out.size(); ++i) {
        const QJsonObject o = out[i].toObject();
        Equation& e = equations[i];
        e.svg = o.value(QLatin1String("svg")).toString().toUtf8();
        e.width = o.value(QLatin1String("width")).toDouble();
        e.height = o.value(QLatin1String("height")).toDouble();
        e.depth = o.value(QLatin1String("depth")).toDouble();
    }
    return true;
}

// ---- equations in a laid-out document ----

void EquationObjects::place(QTextDocument& document) {
    document.documentLayout()->registerHandler(kObjectType, this);
    static const QRegularExpression token(QString(kOpen) + QStringLiteral("(\\d+)") + QString(kClose));
    QTextCursor at(&document);
    while (!(at = document.find(token, at)).isNull()) {
        const int index = at.selectedText().mid(1).chopped(1).toInt();
        if (index < 0 || index >= m_equations.size()) continue;
        QTextCharFormat f = at.charFormat();
        f.setObjectType(kObjectType);
        f.setProperty(kEquationIndex, index);
        f.setVerticalAlignment(QTextCharFormat::AlignMiddle);
        at.insertText(QString(QChar::ObjectReplacementCharacter), f);
        if (m_equations[index].display) {
            QTextBlockFormat centred = at.blockFormat();
            centred.setAlignment(Qt::AlignHCenter);
            at.setBlockFormat(centred);
        }
    }
}

// Qt sets an object aligned to the middle with its ascent (H + x/2) / 2 and descent (H - x/2) / 2,
// x the x-height of the format's font: the object's height H is chosen so that the equation's
// baseline falls on the line's whatever its height and depth.
namespace {
double halfX(const QTextFormat& format) {
    return QFontMetricsF(format.toCharFormat().font()).xHeight() / 2;
}
} // namespace

QSizeF EquationObjects::intrinsicSize(QTextDocument* document, int, const QTextFormat& format) {
    const Equation& e = m_equations.at(format.property(kEquationIndex).toInt());
    const double ex = exOf(document), hx = halfX(format);
    const double up = (e.height - e.depth) * ex, down = e.depth * ex;
    return QSizeF(e.width * ex, std::max(2 * up - hx, 2 * down + hx));
}

void EquationObjects::drawObject(QPainter* painter, const QRectF& rect, QTextDocument* document, int,
                                 const QTextFormat& format) {
    const Equation& e = m_equations.at(format.property(kEquationIndex).toInt());
    const double ex = exOf(document);
    const double baseline = rect.top() + (rect.height() + halfX(format)) / 2;
    // Qt's SVG renderer draws in black what a browser draws in the text's colour.
    QSvgRenderer svg(QByteArray(e.svg).replace("currentColor", "black"));
    svg.render(painter,
               QRectF(rect.left(), baseline - (e.height - e.depth) * ex, e.width * ex, e.height * ex));
}

// ---- the PDF ----

namespace {

struct Layout {
    double pageHeight = 0; // of the text, in device pixels
    double pixelsPerPoint = 1;
};

QList<Heading> headingsOf(const QTextDocument& document, const Layout& l, int deepest) {
    QList<Heading> out;
    const QAbstractTextDocumentLayout* layout = document.documentLayout();
    for (QTextBlock b = document.begin(); b.isValid(); b = b.next()) {
        const int level = b.blockFormat().headingLevel();
        if (level < 1 || level > deepest) continue;
        // Where its first line went: a heading that does not fit at the foot of a page moves to the
        // next one, its block's top margin staying behind.
        double top = layout->blockBoundingRect(b).top();
        if (b.layout() && b.layout()->lineCount() > 0)
            top = b.layout()->position().y() + b.layout()->lineAt(0).y();
        const int page = static_cast<int>(std::floor(top / l.pageHeight));
        out << Heading{level, b.text().trimmed(), page, (top - page * l.pageHeight) / l.pixelsPerPoint};
    }
    return out;
}

// The table of contents after the first block: the headings of levels 1 and 2 with a page number
// each; returns the cells that take the numbers.
QList<QTextTableCell> insertContents(QTextDocument& document, const QList<Heading>& headings) {
    // Before the second chapter: the first is the title and what the document is.
    QTextBlock before = document.begin();
    int chapters = 0;
    for (QTextBlock b = document.begin(); b.isValid(); b = b.next())
        if (b.blockFormat().headingLevel() == 1 && ++chapters == 2) {
            before = b.previous();
            break;
        }
    QTextCursor at(before);
    at.movePosition(QTextCursor::EndOfBlock);
    QTextBlockFormat plain;
    plain.setTopMargin(12);
    plain.setBottomMargin(6);
    plain.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    bold.setFontPointSize(document.defaultFont().pointSizeF() * 1.4);
    at.insertBlock(plain, bold);
    at.insertText(QStringLiteral("Contents"));
    QTextTableFormat table;
    table.setBorder(0);
    table.setCellPadding(1);
    table.setCellSpacing(0);
    table.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    table.setColumnWidthConstraints(
        {QTextLength(QTextLength::PercentageLength, 90), QTextLength(QTextLength::PercentageLength, 10)});
    QTextTable* contents = at.insertTable(static_cast<int>(headings.size()), 2, table);
    QList<QTextTableCell> pages;
    for (qsizetype i = 0; i < headings.size(); ++i) {
        const Heading& h = headings[i];
        QTextCursor title = contents->cellAt(static_cast<int>(i), 0).firstCursorPosition();
        QTextBlockFormat indent;
        indent.setIndent(h.level - 1);
        title.setBlockFormat(indent);
        QTextCharFormat f;
        if (h.level == 1) f.setFontWeight(QFont::Bold);
        title.insertText(h.text, f);
        QTextCursor page = contents->cellAt(static_cast<int>(i), 1).firstCursorPosition();
        QTextBlockFormat right;
        right.setAlignment(Qt::AlignRight);
        page.setBlockFormat(right);
        page.insertText(QStringLiteral("000"));
        pages << contents->cellAt(static_cast<int>(i), 1);
    }
    // The text goes on on a page of its own.
    QTextCursor after = contents->lastCursorPosition();
    after.movePosition(QTextCursor::NextBlock);
    QTextBlockFormat next = after.blockFormat();
    next.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    after.setBlockFormat(next);
    return pages;
}

QString pdfText(const QString& text) {
    // UTF-16BE with its byte-order mark, as a hexadecimal string: any title, no escaping.
    QByteArray hex("<FEFF");
    for (const QChar c : text) hex += QByteArray::number(c.unicode() + 0x10000, 16).mid(1).toUpper();
    return QString::fromLatin1(hex + '>');
}

} // namespace

bool writeManualPdf(QTextDocument& document, const QString& title, const QString& path, QString& why) {
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&bytes);
    pdf.setTitle(title);
    pdf.setCreator(QStringLiteral("DizirOvi"));
    const QPageLayout page(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(20, 18, 20, 14),
                           QPageLayout::Millimeter);
    pdf.setPageLayout(page);
    document.documentLayout()->setPaintDevice(&pdf);
    const QRect paint = page.paintRectPixels(pdf.resolution());
    const double footer = pdf.resolution() * 0.3;
    Layout l;
    l.pageHeight = paint.height() - footer;
    l.pixelsPerPoint = pdf.resolution() / 72.0;
    document.setPageSize(QSizeF(paint.width(), l.pageHeight));

    // The contents (the title, the first heading, is not listed), then their page numbers; putting the
    // numbers in moves nothing, which the second look checks.
    auto chapters = [&] {
        QList<Heading> h = headingsOf(document, l, 2);
        if (!h.isEmpty()) h.removeFirst();
        return h;
    };
    const QList<QTextTableCell> cells = insertContents(document, chapters());
    QList<Heading> listed;
    for (int pass = 0; pass < 3; ++pass) {
        const QList<Heading> now = chapters();
        bool same = now.size() == listed.size();
        for (qsizetype i = 0; same && i < now.size(); ++i) same = now[i].page == listed[i].page;
        if (same && pass > 0) break;
        listed = now;
        for (qsizetype i = 0; i < std::min(listed.size(), cells.size()); ++i) {
            QTextCursor c = cells[i].firstCursorPosition();
            c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
            c.insertText(QString::number(listed[i].page + 1));
        }
    }

    const int pages = document.pageCount();
    QPainter p(&pdf);
    QFont small = document.defaultFont();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    for (int i = 0; i < pages; ++i) {
        if (i > 0) pdf.newPage();
        p.save();
        const QRectF clip(0, i * l.pageHeight, paint.width(), l.pageHeight);
        p.translate(0, -clip.top());
        p.setClipRect(clip);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = clip;
        document.documentLayout()->draw(&p, context);
        p.restore();
        p.setFont(small);
        p.setPen(Qt::darkGray);
        p.drawText(QRectF(0, l.pageHeight, paint.width(), footer), Qt::AlignLeft | Qt::AlignBottom, title);
        p.drawText(QRectF(0, l.pageHeight, paint.width(), footer), Qt::AlignRight | Qt::AlignBottom,
                   QStringLiteral("%1 / %2").arg(i + 1).arg(pages));
    }
    p.end();

    QByteArray written = bytes.data();
    QList<Heading> marks = headingsOf(document, l, 3);
    // A bookmark's height is from the bottom of the page, in points.
    const double pageTop =
        page.fullRect(QPageLayout::Point).height() - page.margins(QPageLayout::Point).top();
    for (Heading& h : marks) h.top = pageTop - h.top;
    if (!addPdfOutline(written, marks, why)) return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(written) != written.size() || !file.commit()) {
        why = file.errorString();
        return false;
    }
    return true;
}

bool addPdfOutline(QByteArray& pdf, const QList<Heading>& headings, QString& why) {
    const QString text = QString::fromLatin1(pdf);
    auto number = [&](const QString& pattern, qsizetype from = 0) -> long {
        const QRegularExpressionMatch m = QRegularExpression(pattern).match(text, from);
        return m.hasMatch() ? m.captured(1).toLong() : -1;
    };
    const qsizetype trailer = text.lastIndexOf(QLatin1String("trailer"));
    const qsizetype startxref = text.lastIndexOf(QLatin1String("startxref"));
    const long root = number(QStringLiteral("/Root\\s+(\\d+)\\s+0\\s+R"), trailer);
    const long size = number(QStringLiteral("/Size\\s+(\\d+)"), trailer);
    const long info = number(QStringLiteral("/Info\\s+(\\d+)\\s+0\\s+R"), trailer);
    const long previous = number(QStringLiteral("startxref\\s+(\\d+)"), startxref);
    if (trailer < 0 || root < 0 || size < 0 || previous < 0) {
        why = QStringLiteral("the PDF has no trailer this can read (a cross-reference stream?)");
        return false;
    }
    auto object = [&](long n) -> QString {
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("(?:^|\\s)%1\\s+0\\s+obj(.*?)endobj").arg(n),
                               QRegularExpression::DotMatchesEverythingOption)
                .match(text);
        return m.hasMatch() ? m.captured(1) : QString();
    };
    QString catalog = object(root);
    const QRegularExpressionMatch pagesRef =
        QRegularExpression(QStringLiteral("/Pages\\s+(\\d+)\\s+0\\s+R")).match(catalog);
    if (!pagesRef.hasMatch()) {
        why = QStringLiteral("the PDF's catalogue names no pages");
        return false;
    }
    // The pages in order, through nested page-tree nodes.
    QList<long> pageObjects;
    std::function<void(long, int)> collect = [&](long node, int depth) {
        const QString o = object(node);
        if (depth > 32 || o.isEmpty()) return;
        if (!o.contains(QLatin1String("/Kids"))) {
            pageObjects << node;
            return;
        }
        const QString kids =
            QRegularExpression(QStringLiteral("/Kids\\s*\\[([^\\]]*)\\]")).match(o).captured(1);
        for (auto it = QRegularExpression(QStringLiteral("(\\d+)\\s+0\\s+R")).globalMatch(kids);
             it.hasNext();)
            collect(it.next().captured(1).toLong(), depth + 1);
    };
    collect(pagesRef.captured(1).toLong(), 0);
    if (pageObjects.isEmpty()) {
        why = QStringLiteral("the PDF's page tree holds no page");
        return false;
    }

    // The outline's tree: each heading under the nearest before it of a lower level.
    const long outlines = size;
    const auto count = static_cast<long>(headings.size());
    QList<long> parent(count, outlines), first(count, 0), last(count, 0), prev(count, 0), next(count, 0),
        children(count, 0);
    long rootFirst = 0, rootLast = 0, topLevel = 0;
    std::map<long, long> lastChildOf; // by parent object
    for (long i = 0; i < count; ++i) {
        long up = -1;
        for (long j = i - 1; j >= 0; --j)
            if (headings[j].level < headings[i].level) {
                up = j;
                break;
            }
        const long self = outlines + 1 + i;
        parent[i] = up < 0 ? outlines : outlines + 1 + up;
        const long sibling = lastChildOf.count(parent[i]) ? lastChildOf[parent[i]] : 0;
        if (sibling) {
            prev[i] = sibling;
            next[sibling - outlines - 1] = self;
        }
        lastChildOf[parent[i]] = self;
        if (up < 0) {
            if (!rootFirst) rootFirst = self;
            rootLast = self;
            ++topLevel;
        } else {
            if (!first[up]) first[up] = self;
            last[up] = self;
            ++children[up];
        }
    }

    QByteArray update;
    if (!pdf.endsWith('\n')) update += '\n';
    std::map<long, qsizetype> offsets;
    auto add = [&](long n, const QString& body) {
        offsets[n] = pdf.size() + update.size();
        update += QStringLiteral("%1 0 obj\n%2\nendobj\n").arg(n).arg(body).toLatin1();
    };
    const qsizetype close = catalog.lastIndexOf(QLatin1String(">>"));
    catalog.insert(close, QStringLiteral(" /Outlines %1 0 R /PageMode /UseOutlines ").arg(outlines));
    add(root, catalog.trimmed());
    add(outlines, rootFirst ? QStringLiteral("<< /Type /Outlines /First %1 0 R /Last %2 0 R /Count %3 >>")
                                  .arg(rootFirst)
                                  .arg(rootLast)
                                  .arg(topLevel)
                            : QStringLiteral("<< /Type /Outlines /Count 0 >>"));
    for (long i = 0; i < count; ++i) {
        const Heading& h = headings[i];
        const long pageObject = pageObjects.value(std::clamp<long>(h.page, 0, pageObjects.size() - 1));
        QString item = QStringLiteral("<< /Title %1 /Parent %2 0 R /Dest [%3 0 R /XYZ 0 %4 null]")
                           .arg(pdfText(h.text))
                           .arg(parent[i])
                           .arg(pageObject)
                           .arg(h.top, 0, 'f', 1);
        if (prev[i]) item += QStringLiteral(" /Prev %1 0 R").arg(prev[i]);
        if (next[i]) item += QStringLiteral(" /Next %1 0 R").arg(next[i]);
        if (first[i])
            item += QStringLiteral(" /First %1 0 R /Last %2 0 R /Count -%3")
                        .arg(first[i])
                        .arg(last[i])
                        .arg(children[i]);
        add(outlines + 1 + i, item + QStringLiteral(" >>"));
    }
    // The cross-reference section of the update: one subsection per run of consecutive objects.
    const qsizetype xref = pdf.size() + update.size();
    update += "xref\n";
    for (auto it = offsets.begin(); it != offsets.end();) {
        auto end = it;
        long n = it->first;
        while (end != offsets.end() && end->first == n) {
            ++end;
            ++n;
        }
        update += QStringLiteral("%1 %2\n").arg(it->first).arg(n - it->first).toLatin1();
        for (; it != end; ++it)
            update += QStringLiteral("%1 00000 n \n").arg(it->second, 10, 10, QLatin1Char('0')).toLatin1();
    }
    update += QStringLiteral("trailer\n<< /Size %1 /Root %2 0 R%3 /Prev %4 >>\nstartxref\n%5\n%%EOF\n")
                  .arg(outlines + 1 + count)
                  .arg(root)
                  .arg(info >= 0 ? QStringLiteral(" /Info %1 0 R").arg(info) : QString())
                  .arg(previous)
                  .arg(xref)
                  .toLatin1();
    pdf += update;
    return true;
}

// ---- the HTML help ----

QString linkedHtml(const QString& html, const QList<Equation>& equations) {
    QString out = html;
    static const QRegularExpression heading(QStringLiteral("<h([1-6])([^>]*)>(.*?)</h\\1>"),
                                            QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    QString contents = QStringLiteral("<div class=\"contents\"><p><b>Contents</b></p>\n");
    int n = 0;
    for (qsizetype from = 0;;) {
        const QRegularExpressionMatch m = heading.match(out, from);
        if (!m.hasMatch()) break;
        const QString anchor = QStringLiteral("section-%1").arg(++n);
        const QString title = QString(m.captured(3)).remove(tag).trimmed();
        const QString marked = QStringLiteral("<h%1 id=\"%2\"%3><a name=\"%2\"></a>%4</h%1>")
                                   .arg(m.captured(1), anchor, m.captured(2), m.captured(3));
        out.replace(m.capturedStart(), m.capturedLength(), marked);
        from = m.capturedStart() + marked.size();
        contents += QStringLiteral("<div class=\"toc%1\"><a href=\"#%2\">%3</a></div>\n")
                        .arg(m.captured(1), anchor, title);
    }
    contents += QStringLiteral("</div>\n");
    static const QRegularExpression body(QStringLiteral("<body[^>]*>"));
    const QRegularExpressionMatch b = body.match(out);
    if (b.hasMatch()) out.insert(b.capturedEnd(), contents);
    for (qsizetype i = equations.size() - 1; i >= 0; --i) {
        const Equation& e = equations[i];
        out.replace(equationToken(static_cast<int>(i)),
                    QStringLiteral("<span class=\"%1\">%2</span>")
                        .arg(e.display ? QStringLiteral("equation-display") : QStringLiteral("equation"),
                             QString::fromUtf8(e.svg)));
    }
    return out.replace(
        QLatin1String("</head>"),
        QLatin1String(
            "<style>img { max-width: 100%; height: auto; } .equation-display { display: block; "
            "text-align: center; margin: 0.6em 0; } .contents { margin: 1em 0 2em; } .toc2 { "
            "margin-left: 1.5em; } .toc3 { margin-left: 3em; font-size: smaller; }</style></head>"));
}
