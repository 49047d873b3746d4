// Build tool: typesets the manual's Markdown source as OrvaneHelp.pdf, the manual the Help window shows.
// Usage: makemanual SOURCE.md OUTPUT.pdf (needs a Qt platform; the build runs it with QT_QPA_PLATFORM=offscreen)

#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>

#include <cstdio>

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
    if (QFile(output).size() == 0) {
        std::fprintf(stderr, "makemanual: %s: nothing was written\n", argv[2]);
        return 1;
    }
    return 0;
}
