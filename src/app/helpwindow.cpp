#include "helpwindow.h"

#include "app/helpviewcontroller.h"

HelpWindow::HelpWindow(QWidget* parent)
    : QMainWindow(parent)
    , m_viewController(new HelpViewController(this))
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(tr("Orvane Help"));
    setCentralWidget(m_viewController);
    resize(720, 860);
}

HelpWindow::~HelpWindow() = default;
