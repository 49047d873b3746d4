#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPdfBookmarkModel;
class QPdfDocument;
class QPdfSearchModel;
class QPdfView;
class QTreeView;

/// The content of a help window: the manual, its contents (the PDF's outline) beside it when it has one, and a
/// find bar above it (Ctrl+F). The manual fills the window's width; Bigger and Smaller (or Ctrl and the mouse
/// wheel) zoom it between a quarter and the full width, so no text is ever cut off at the right. The manual
/// takes the keyboard as the window opens, so the page keys, Home and End scroll it at once.
class HelpViewController : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HelpViewController)

public:
    explicit HelpViewController(QWidget* parent = nullptr);
    ~HelpViewController() override;

    /// Where the manual is looked for: the copy built into the program unless a test says otherwise.
    void setManualPath(const QString& path);
    /// The manual, once loaded; none when it is missing or unreadable.
    [[nodiscard]] QPdfDocument* manual() const
    {
        return thePDFDocument;
    }

public slots:
    /// Loads the manual afresh each time the view is shown. No manual, or an unreadable one, leaves the
    /// window empty without a word: help is not worth an alert.
    void viewDidAppear();
    void zoomIn();
    void zoomOut();
    /// Back to the manual's width filling the window.
    void resetZoom();
    /// Shows the find bar with its text selected.
    void find();
    /// Goes to the next match, or the previous one, round from the last to the first.
    void findNext();
    void findPrevious();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void zoomBy(qreal factor);
    /// The zoom at which the manual's width fills the view.
    [[nodiscard]] qreal fittingZoom() const;
    void goToMatch(int step);
    void updateCount();

    QPdfDocument* thePDFDocument = nullptr;
    QPdfView* helpPDFView;
    QTreeView* m_contents;
    QPdfBookmarkModel* m_outline;
    QWidget* m_findBar;
    QLineEdit* m_findField;
    QLabel* m_findCount;
    QPdfSearchModel* m_search;
    int m_match = -1; // the match shown, or -1
    QString m_manualPath = QStringLiteral(":/help/OrvaneHelp.pdf");
};
