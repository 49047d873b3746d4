// Build tool: typesets the manual's Markdown source as OrvaneHelp.pdf, the manual the Help window shows, with
// an outline of its headings (the Help window's table of contents).
// Usage: makemanual SOURCE.md OUTPUT.pdf (needs a Qt platform; the build runs it with QT_QPA_PLATFORM=offscreen)

#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfDocument>
#include <QPdfSelection>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>

#include <cstdio>
#include <vector>

namespace {

// A heading of the manual and where it landed: its page (from 0) and its top, in points from the page's foot.
struct Heading
{
    int level = 0;
    QString title;
    int page = 0;
    double top = 0;
};

// A PDF text string: UTF-16BE with its byte-order mark, in hexadecimal, so any character survives.
QByteArray pdfText(const QString& text)
{
    QByteArray bytes("\xFE\xFF");
    for (const QChar c : text)
        bytes += char(c.unicode() >> 8) + QByteArray(1, char(c.unicode() & 0xFF));
    return '<' + bytes.toHex() + '>';
}

/*!
 * Adds an outline to the PDF in pdf, as an incremental update appended to it: the outline's dictionary and
 * its items, a catalog that points at them, and a cross-reference section for these objects only. QPdfWriter
 * writes no outline of its own. Items nest by heading level; each goes to its heading's page and height.
 */
bool appendOutline(QByteArray& pdf, const std::vector<Heading>& headings)
{
    const auto number = [&pdf](const char* pattern) {
        const QRegularExpressionMatch match = QRegularExpression(QLatin1String(pattern)).match(QLatin1String(pdf));
        return match.hasMatch() ? match.captured(1).toInt() : -1;
    };
    const int root = number("/Root (\\d+) 0 R");
    const int info = number("/Info (\\d+) 0 R");
    const int size = number("/Size (\\d+)");
    const int previous = number("startxref\\s+(\\d+)");
    const qsizetype catalogStart = pdf.indexOf(QByteArray::number(root) + " 0 obj");
    const qsizetype catalogEnd = pdf.lastIndexOf(">>", pdf.indexOf("endobj", catalogStart));
    const int pagesObject = number("/Type /Catalog\\s*/Pages (\\d+) 0 R");
    const qsizetype kids =
        pdf.indexOf('[', pdf.indexOf("/Kids", pdf.indexOf(QByteArray::number(pagesObject) + " 0 obj")));
    if (root < 0 || size < 0 || previous < 0 || catalogStart < 0 || kids < 0)
        return false;
    const QByteArray kidList = pdf.mid(kids + 1, pdf.indexOf(']', kids) - kids - 1);
    QList<QByteArray> pages;
    for (const QByteArray& word : kidList.simplified().split(' '))
        if (word != "0" && word != "R")
            pages << word;

    // Objects: size is the outline's dictionary, size + 1 + i the i-th heading's item.
    const int count = int(headings.size());
    std::vector<int> parent(headings.size(), size);
    std::vector<int> next(headings.size(), -1);
    std::vector<int> previousItem(headings.size(), -1);
    std::vector<int> first(headings.size(), -1);
    std::vector<int> last(headings.size(), -1);
    std::vector<int> below(headings.size(), 0);
    int topFirst = -1;
    int topLast = -1;
    std::vector<int> open; // the items a later heading may nest in
    for (int i = 0; i < count; ++i) {
        while (!open.empty() && headings[size_t(open.back())].level >= headings[size_t(i)].level)
            open.pop_back();
        const int up = open.empty() ? -1 : open.back();
        int& lastSibling = up < 0 ? topLast : last[size_t(up)];
        if (lastSibling >= 0) {
            next[size_t(lastSibling)] = i;
            previousItem[size_t(i)] = lastSibling;
        } else {
            (up < 0 ? topFirst : first[size_t(up)]) = i;
        }
        lastSibling = i;
        parent[size_t(i)] = up < 0 ? size : size + 1 + up;
        for (const int outer : open)
            ++below[size_t(outer)];
        open.push_back(i);
    }
    const auto reference = [size](int item) { return QByteArray::number(size + 1 + item) + " 0 R"; };

    std::vector<std::pair<int, qsizetype>> offsets;
    const auto object = [&](int id, const QByteArray& body) {
        offsets.emplace_back(id, pdf.size());
        pdf += QByteArray::number(id) + " 0 obj\n" + body + "\nendobj\n";
    };
    if (!pdf.endsWith('\n'))
        pdf += '\n';
    object(size,
        "<< /Type /Outlines /First " + reference(topFirst) + " /Last " + reference(topLast) + " /Count "
            + QByteArray::number(count) + " >>");
    for (int i = 0; i < count; ++i) {
        const Heading& heading = headings[size_t(i)];
        QByteArray item = "<< /Title " + pdfText(heading.title) + " /Parent " + QByteArray::number(parent[size_t(i)])
            + " 0 R /Dest [" + pages.value(heading.page, pages.value(0)) + " 0 R /XYZ 0 "
            + QByteArray::number(heading.top, 'f', 1) + " 0]";
        if (previousItem[size_t(i)] >= 0)
            item += " /Prev " + reference(previousItem[size_t(i)]);
        if (next[size_t(i)] >= 0)
            item += " /Next " + reference(next[size_t(i)]);
        if (first[size_t(i)] >= 0)
            item += " /First " + reference(first[size_t(i)]) + " /Last " + reference(last[size_t(i)]) + " /Count "
                + QByteArray::number(below[size_t(i)]);
        object(size + 1 + i, item + " >>");
    }
    object(root,
        pdf.mid(catalogStart, catalogEnd - catalogStart).mid(pdf.indexOf("<<", catalogStart) - catalogStart)
            + " /Outlines " + QByteArray::number(size) + " 0 R /PageMode /UseOutlines >>");

    const qsizetype xref = pdf.size();
    pdf += "xref\n" + QByteArray::number(size) + ' ' + QByteArray::number(count + 1) + '\n';
    const auto entry = [](qsizetype offset) {
        return QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    };
    for (int i = 0; i <= count; ++i)
        pdf += entry(offsets[size_t(i)].second);
    pdf += QByteArray::number(root) + " 1\n" + entry(offsets.back().second);
    pdf += "trailer\n<< /Size " + QByteArray::number(size + count + 1) + " /Root " + QByteArray::number(root) + " 0 R"
        + (info >= 0 ? " /Info " + QByteArray::number(info) + " 0 R" : QByteArray()) + " /Prev "
        + QByteArray::number(previous) + " >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return true;
}

// Where the manual's headings landed in the PDF printed from it: each looked for, at the end of a line (the
// text the PDF gives may join a heading to the line above it), in the pages' text after the one before it. Found in the
// PDF itself, the places are those the reader sees.
std::vector<Heading> landed(const QTextDocument& manual, const QString& pdfPath)
{
    QPdfDocument pdf;
    if (pdf.load(pdfPath) != QPdfDocument::Error::None)
        return {};
    std::vector<Heading> headings;
    int page = 0;
    qsizetype from = 0;
    for (QTextBlock block = manual.begin(); block.isValid(); block = block.next()) {
        const int level = block.blockFormat().headingLevel();
        if (level == 0)
            continue;
        const QRegularExpression line(
            QStringLiteral("(%1)[ \\t]*(?:\\r?\\n|$)").arg(QRegularExpression::escape(block.text())));
        for (; page < pdf.pageCount(); ++page, from = 0) {
            // The PDF's text has ligatures ("ﬁ") where the source has letters: compared in compatibility
            // form, each character of it remembering where it came from.
            const QString text = pdf.getAllText(page).text();
            QString plain;
            std::vector<int> origin;
            for (int i = 0; i < text.size(); ++i) {
                const QString letters = QString(text[i]).normalized(QString::NormalizationForm_KC);
                plain += letters;
                origin.insert(origin.end(), size_t(letters.size()), i);
            }
            origin.push_back(int(text.size()));
            const QRegularExpressionMatch match = line.match(plain, from);
            if (!match.hasMatch())
                continue;
            from = match.capturedEnd(1);
            const int start = origin[size_t(match.capturedStart(1))];
            const int length = origin[size_t(match.capturedEnd(1))] - start;
            const QRectF place = pdf.getSelectionAtIndex(page, start, length).boundingRectangle();
            headings.push_back({ level, block.text(), page, pdf.pagePointSize(page).height() - place.top() });
            break;
        }
        if (page == pdf.pageCount()) {
            // No outline rather than a wrong one; the build stops and says which heading to look at.
            std::fprintf(stderr,
                "makemanual: the heading \"%s\" is not found in the typeset manual\n",
                qPrintable(block.text()));
            return {};
        }
    }
    return headings;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: makemanual SOURCE.md OUTPUT.pdf\n");
        return 2;
    }
    QFile source(QString::fromLocal8Bit(argv[1]));
    if (!source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "makemanual: %s: %s\n", argv[1], qPrintable(source.errorString()));
        return 1;
    }

    // A PDF cannot carry colour emoji, so the report's marks (✅ ❌ ⚠️) are taken from Symbola, whose
    // glyphs are plain outlines, rather than from a colour emoji font the system may prefer.
    const QString marks = QStringLiteral("Symbola");
    QFont::insertSubstitution(QStringLiteral("DejaVu Sans"), marks);
    QFont::insertSubstitution(QStringLiteral("DejaVu Sans Mono"), marks);
    QTextDocument manual;
    manual.setDefaultFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    manual.setMarkdown(QString::fromUtf8(source.readAll()));

    const QString output = QString::fromLocal8Bit(argv[2]);
    {
        QPdfWriter writer(output);
        writer.setTitle(QStringLiteral("Orvane Help"));
        writer.setCreator(QStringLiteral("Orvane"));
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(18, 18, 18, 18), QPageLayout::Millimeter);
        manual.print(&writer);
    }
    const std::vector<Heading> headings = landed(manual, output);
    QFile file(output);
    QByteArray pdf;
    if (file.open(QIODevice::ReadOnly))
        pdf = file.readAll();
    file.close();
    if (pdf.isEmpty() || headings.empty() || !appendOutline(pdf, headings) || !file.open(QIODevice::WriteOnly)
        || file.write(pdf) != pdf.size()) {
        std::fprintf(stderr, "makemanual: %s: the manual or its outline could not be written\n", argv[2]);
        return 1;
    }
    return 0;
}
