#pragma once

#include <QString>
#include <QWidget>

class QPdfDocument;
class QPdfView;

/// The content of a help window: the manual, scaled to the window's width until it is zoomed (the View
/// menu's Bigger, Smaller and Actual Size, or Ctrl and the mouse wheel). The manual takes the keyboard as
/// the window opens, so the page keys, Home and End scroll it at once.
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

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void zoomBy(qreal factor);

    QPdfDocument* thePDFDocument = nullptr;
    QPdfView* helpPDFView;
    QString m_manualPath = QStringLiteral(":/help/OrvaneHelp.pdf");
};
