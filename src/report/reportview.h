#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <QTextCharFormat>

class QPalette;

/*!
 * The report: a read-only text view that shows text in one style and keeps, beside what it shows, the exact
 * characters it was given. A QTextDocument turns line and paragraph separators, carriage returns and
 * no-break spaces into plain line feeds and spaces when asked for its text; a report names files by their
 * paths, which may hold any of these, so save and export take text() rather than the document's text.
 */
class ReportView : public QPlainTextEdit
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ReportView)

public:
    explicit ReportView(QWidget* parent = nullptr);
    ~ReportView() override;

    /// The one report style: the system's fixed-width font at size points, in the palette's text colour.
    [[nodiscard]] static QTextCharFormat reportStyle(qreal size, const QPalette& palette);

    /// Replaces the whole report with text in the given style.
    void replaceText(const QString& text, const QTextCharFormat& style);
    /// Adds text, unchanged, at the end of the report in the given style.
    void appendText(const QString& text, const QTextCharFormat& style);

    /// The report's characters exactly as they were put in.
    [[nodiscard]] const QString& text() const
    {
        return m_text;
    }

private:
    QString m_text;
};
