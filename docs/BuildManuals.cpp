// Builds the delivered documents from the manuals' Markdown at build time, with Qt's own Markdown
// reader and PDF writer: the user's and the technical manual as PDF (with their contents, page
// numbers and bookmarks), both together as one HTML help file with its pictures and equations inside
// and every section linked from its contents, and the manual pages marked in the user's manual as roff.
// Equations are TeX between "$" or "$$", typeset by MathJax under Node.js (tools/equations).
//
// In the Markdown:
//   <!-- include PATH -->           the file (relative to the source tree) as a preformatted block
//   {{NAME}}                        the contents of NAME.txt in the pictures folder
//   ![text](pictures/NAME.png)      a picture from the pictures folder
//   <!-- man NAME SECTION -->  ...  <!-- end man -->   the part that becomes the page NAME(SECTION)
//   $TeX$, $$TeX$$                  an equation, inline or displayed
//
// Usage: build_manuals SOURCE-TREE PICTURES-FOLDER OUTPUT-FOLDER MAN-FOLDER NODE
#include "ManualDocument.h"
#include "format/Release.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QTextStream>
#include <cstdio>

namespace {

struct Paths {
    QDir source, pictures, output, man;
};

QString readText(const QString& path, bool* ok = nullptr) {
    QFile f(path);
    const bool opened = f.open(QIODevice::ReadOnly);
    if (ok) *ok = opened;
    if (!opened) std::fprintf(stderr, "build_manuals: cannot read %s\n", qPrintable(path));
    return opened ? QString::fromUtf8(f.readAll()) : QString();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    const bool ok = f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    if (!ok) std::fprintf(stderr, "build_manuals: cannot write %s\n", qPrintable(path));
    return ok;
}

// Includes and values put in; everything else as written.
QString expand(const QString& markdown, const Paths& p, bool& ok) {
    QString text = markdown;
    static const QRegularExpression include(QStringLiteral("<!-- include (\\S+) -->"));
    for (QRegularExpressionMatch m = include.match(text); m.hasMatch(); m = include.match(text)) {
        QString body = readText(p.source.filePath(m.captured(1)), &ok).trimmed();
        body.replace(QLatin1String("@PROJECT_VERSION@"), QLatin1String(release::kVersion));
        text.replace(m.capturedStart(), m.capturedLength(),
                     QStringLiteral("```\n") + body + QStringLiteral("\n```"));
    }
    static const QRegularExpression value(QStringLiteral("\\{\\{([A-Za-z0-9-]+)\\}\\}"));
    for (QRegularExpressionMatch m = value.match(text); m.hasMatch(); m = value.match(text))
        text.replace(m.capturedStart(), m.capturedLength(),
                     readText(p.pictures.filePath(m.captured(1) + QStringLiteral(".txt")), &ok).trimmed());
    return text;
}

// A document from Markdown, its pictures loaded from the pictures folder at their full resolution and
// shown at most about 16 cm wide (600 pixels at the document's 96 an inch): a print shows them sharp.
void fill(QTextDocument& doc, const QString& markdown, const Paths& p, bool& ok) {
    static const QRegularExpression picture(QStringLiteral("!\\[[^\\]]*\\]\\((pictures/[^)]+)\\)"));
    for (auto it = picture.globalMatch(markdown); it.hasNext();) {
        const QString name = it.next().captured(1);
        const QImage image(p.pictures.filePath(name.mid(9)));
        if (image.isNull()) {
            std::fprintf(stderr, "build_manuals: no picture %s\n", qPrintable(name));
            ok = false;
        }
        doc.addResource(QTextDocument::ImageResource, QUrl(name), image);
    }
    doc.setMarkdown(markdown);
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto f = b.begin(); !f.atEnd(); ++f) {
            if (!f.fragment().charFormat().isImageFormat()) continue;
            QTextImageFormat image = f.fragment().charFormat().toImageFormat();
            const QImage shown =
                doc.resource(QTextDocument::ImageResource, QUrl(image.name())).value<QImage>();
            if (shown.width() <= 600) continue;
            image.setWidth(600);
            image.setHeight(600.0 * shown.height() / shown.width());
            QTextCursor c(&doc);
            c.setPosition(f.fragment().position());
            c.setPosition(f.fragment().position() + f.fragment().length(), QTextCursor::KeepAnchor);
            c.setCharFormat(image);
        }
}

QTextDocument* styled(QTextDocument& doc) {
    doc.setDefaultFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    doc.setDefaultStyleSheet(QStringLiteral("pre { font-family: 'DejaVu Sans Mono'; font-size: 9pt; }"));
    return &doc;
}

bool writePdf(const QString& markdown, const QList<Equation>& equations, const QString& title,
              const QString& path, const Paths& p) {
    bool ok = true;
    QTextDocument doc;
    styled(doc);
    fill(doc, markdown, p, ok);
    EquationObjects objects(equations);
    objects.place(doc);
    QString why;
    if (!writeManualPdf(doc, title, path, why)) {
        std::fprintf(stderr, "build_manuals: %s: %s\n", qPrintable(path), qPrintable(why));
        return false;
    }
    return ok;
}

// The HTML of the documents with every picture and equation inside it, so the help is one file.
QString htmlWithPictures(const QString& markdown, const QList<Equation>& equations, const Paths& p,
                         bool& ok) {
    QTextDocument doc;
    styled(doc);
    fill(doc, markdown, p, ok);
    QString html = doc.toHtml();
    static const QRegularExpression source(QStringLiteral("src=\"(pictures/[^\"]+)\""));
    for (QRegularExpressionMatch m = source.match(html); m.hasMatch(); m = source.match(html)) {
        QFile f(p.pictures.filePath(m.captured(1).mid(9)));
        const QByteArray data = f.open(QIODevice::ReadOnly) ? f.readAll().toBase64() : QByteArray();
        html.replace(m.capturedStart(1), m.capturedLength(1),
                     QStringLiteral("data:image/png;base64,") + QString::fromLatin1(data));
    }
    return linkedHtml(html, equations);
}

// ---- manual pages ----

QString roffEscape(QString text) {
    text.replace('\\', QLatin1String("\\e"));
    // Font changes go in through a marker, as a backslash means a capture to the replacement.
    text.replace(QRegularExpression(QStringLiteral("\\*\\*([^*]+)\\*\\*")),
                 QStringLiteral("\u0001fB\\1\u0001fR"));
    text.replace(QRegularExpression(QStringLiteral("`([^`]+)`")), QStringLiteral("\u0001fB\\1\u0001fR"));
    text.replace(QRegularExpression(QStringLiteral("\\*([^*]+)\\*")), QStringLiteral("\u0001fI\\1\u0001fR"));
    text.replace(QChar(1), QLatin1Char('\\'));
    if (text.startsWith('.') || text.startsWith('\'')) text.prepend(QLatin1String("\\&"));
    return text;
}

// The small part of Markdown the manual pages use: headings, paragraphs, lists, code blocks.
QString toRoff(const QString& name, const QString& section, const QString& markdown) {
    QString out = QStringLiteral(".TH %1 %2 \"2015.4.2\" \"DizirOvi\"\n").arg(name.toUpper(), section);
    bool code = false;
    for (const QString& line : markdown.split('\n')) {
        if (line.startsWith(QLatin1String("```"))) {
            out += code ? QStringLiteral(".fi\n.RE\n") : QStringLiteral(".RS\n.nf\n");
            code = !code;
        } else if (code) {
            out += roffEscape(line) + '\n';
        } else if (line.startsWith(QLatin1String("#"))) {
            out += QStringLiteral(".SH ") + line.section(' ', 1).toUpper() + '\n';
        } else if (line.startsWith(QLatin1String("- "))) {
            out += QStringLiteral(".IP \\(bu 2\n") + roffEscape(line.mid(2)) + '\n';
        } else if (line.trimmed().isEmpty()) {
            out += QStringLiteral(".PP\n");
        } else {
            out += roffEscape(line.trimmed()) + '\n';
        }
    }
    return out;
}

bool writeManPages(const QString& markdown, const Paths& p) {
    static const QRegularExpression page(QStringLiteral("<!-- man (\\S+) (\\d) -->\\n(.*?)<!-- end man -->"),
                                         QRegularExpression::DotMatchesEverythingOption);
    bool ok = true;
    int pages = 0;
    for (auto it = page.globalMatch(markdown); it.hasNext(); ++pages) {
        const QRegularExpressionMatch m = it.next();
        ok = writeFile(p.man.filePath(m.captured(1) + '.' + m.captured(2)),
                       toRoff(m.captured(1), m.captured(2), m.captured(3)).toUtf8()) &&
             ok;
    }
    return ok && pages > 0;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 6) {
        std::fputs("usage: build_manuals SOURCE-TREE PICTURES-FOLDER OUTPUT-FOLDER MAN-FOLDER NODE\n",
                   stderr);
        return 2;
    }
    const Paths p{QDir(QString::fromLocal8Bit(argv[1])), QDir(QString::fromLocal8Bit(argv[2])),
                  QDir(QString::fromLocal8Bit(argv[3])), QDir(QString::fromLocal8Bit(argv[4]))};
    QDir().mkpath(p.output.path());
    QDir().mkpath(p.man.path());
    bool ok = true;
    const QString usersSource =
        expand(readText(p.source.filePath(QStringLiteral("docs/manual/UsersManual.md")), &ok), p, ok);
    const QString technicalSource =
        expand(readText(p.source.filePath(QStringLiteral("docs/manual/TechnicalManual.md")), &ok), p, ok);
    // One numbering of the equations over both manuals, typeset at once; each document holds its own.
    QList<Equation> equations;
    const QString users = takeEquations(usersSource, equations);
    const QString technical = takeEquations(technicalSource, equations);
    QString why;
    if (!typesetEquations(equations, QString::fromLocal8Bit(argv[5]),
                          p.source.filePath(QStringLiteral("tools/equations/render.js")), why)) {
        std::fprintf(stderr, "build_manuals: %s\n", qPrintable(why));
        return 1;
    }
    ok = writePdf(users, equations, QStringLiteral("DizirOvi 2015 User's Manual"),
                  p.output.filePath(QStringLiteral("DIZIROVI2015UsersManual.pdf")), p) &&
         ok;
    ok = writePdf(technical, equations, QStringLiteral("DizirOvi 2015 Technical Manual"),
                  p.output.filePath(QStringLiteral("DIZIROVI2015TechnicalManual.pdf")), p) &&
         ok;
    const QString help =
        htmlWithPictures(users + QStringLiteral("\n\n---\n\n") + technical, equations, p, ok);
    ok = writeFile(p.output.filePath(QStringLiteral("DIZIROVI2015.html")), help.toUtf8()) && ok;
    ok = writeManPages(usersSource, p) && ok;
    return ok ? 0 : 1;
}
