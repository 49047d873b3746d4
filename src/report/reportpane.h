#pragma once

#include <QWidget>

class FindBar;
class QLabel;
class QPushButton;
class ReportChunk;
class ReportView;

/*!
 * The report side of a document window: the report view in the one report style, its font size (kept in the
 * settings), the line that counts its problems, Show Problems Only, and the find bar under it.
 */
class ReportPane : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ReportPane)

public:
    explicit ReportPane(QWidget* parent = nullptr);
    ~ReportPane() override;

    [[nodiscard]] ReportView* view() const
    {
        return m_view;
    }
    /// The toggle for Show Problems Only, for the window's button row.
    [[nodiscard]] QPushButton* problemsButton() const
    {
        return m_problemsButton;
    }
    [[nodiscard]] double fontSize() const
    {
        return m_fontSize;
    }
    [[nodiscard]] bool problemsOnly() const;
    [[nodiscard]] bool canMakeBigger() const;
    [[nodiscard]] bool canMakeSmaller() const;

signals:
    void fontSizeChanged(double size);
    void problemsOnlyChanged(bool on);

public slots:
    /// Replaces the whole report with text, in the report style.
    void setText(const QString& text);
    /// Adds text, unchanged, at the end; the view follows the end unless the user has scrolled up.
    void appendText(const QString& text);
    /// Puts a run's lines before line (at the end: lineCount() - 1), following the end as appendText does.
    void insertChunk(qsizetype line, const ReportChunk& chunk);
    void appendChunk(const ReportChunk& chunk);
    void restyle();
    void makeBigger();
    void makeSmaller();
    void resetFontSize();
    void find();
    void findNext();
    void findPrevious();
    /// Shows only the report's problems, notices and totals; Save and Export still write it all.
    void setProblemsOnly(bool on);

private:
    void setFontSize(double size);
    template <typename Put> void followingTheEnd(Put put);
    void updateProblemsLine();

    ReportView* m_view;
    FindBar* m_findBar;
    QLabel* m_problemsLine;
    QPushButton* m_problemsButton;
    double m_fontSize;
};
