#include "app/MainWindow.h"

#include "app/NorvaneApp.h"
#include "app/NorvaneDoc.h"
#include "app/NorvaneView.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>

namespace norvane {

CMainWindow::CMainWindow(CNorvaneApp& app, CNorvaneDoc& document) : m_Document(document)
{
    setWindowTitle(QStringLiteral("Norvane"));

    auto command = [this](const QString& name, const QString& text, auto receiver, auto handler) {
        auto* action = new QAction(text, this);
        action->setObjectName(name);
        connect(action, &QAction::triggered, receiver, handler);
        return action;
    };

    QMenu* amplifier = menuBar()->addMenu(QStringLiteral("&New Amplifier"));
    amplifier->addAction(command(QStringLiteral("newCommonBase"), QStringLiteral("Common-&Base circuit..."),
                                 &app, &CNorvaneApp::OnNewCommonBase));
    amplifier->addAction(command(QStringLiteral("newCommonEmitter"),
                                 QStringLiteral("Common-&Emitter circuit..."), &app,
                                 &CNorvaneApp::OnNewCommonEmitter));
    amplifier->addAction(command(QStringLiteral("newCommonCollector"),
                                 QStringLiteral("Common-&Collector circuit..."), &app,
                                 &CNorvaneApp::OnNewCommonCollector));

    QMenu* result = menuBar()->addMenu(QStringLiteral("&Result"));
    QAction* save =
        command(QStringLiteral("saveResult"), QStringLiteral("&Save"), &document, &CNorvaneDoc::OnSaveResult);
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    result->addAction(save);
    result->addAction(command(QStringLiteral("saveResultAs"), QStringLiteral("Save &as..."), &document,
                              &CNorvaneDoc::OnSaveResultAs));
    result->addAction(command(QStringLiteral("exportPartsList"), QStringLiteral("Export &parts list..."),
                              &document, &CNorvaneDoc::OnExportPartsList));
    result->addAction(command(QStringLiteral("exportKicadSchematic"),
                              QStringLiteral("Export &KiCad schematic..."), &document,
                              &CNorvaneDoc::OnExportKicadSchematic));
    result->addSeparator();
    QAction* verification = command(QStringLiteral("verification"), QStringLiteral("&Verification..."), &app,
                                    &CNorvaneApp::OnVerification);
    verification->setShortcut(QKeySequence(Qt::Key_F5));
    result->addAction(verification);
    auto* includeSimulation = new QAction(QStringLiteral("&Include simulation in reports"), this);
    includeSimulation->setObjectName(QStringLiteral("includeSimulation"));
    includeSimulation->setCheckable(true);
    includeSimulation->setChecked(app.IncludeSimulationInReports());
    connect(includeSimulation, &QAction::toggled, &app, &CNorvaneApp::SetIncludeSimulationInReports);
    result->addAction(includeSimulation);

    menuBar()->addAction(
        command(QStringLiteral("about"), QStringLiteral("&About..."), &app, &CNorvaneApp::OnAbout));

    // New and Open have shortcuts but no menu items.
    QAction* fileNew =
        command(QStringLiteral("fileNew"), QStringLiteral("New"), &app, &CNorvaneApp::OnFileNew);
    fileNew->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    addAction(fileNew);
    QAction* fileOpen =
        command(QStringLiteral("fileOpen"), QStringLiteral("Open"), &app, &CNorvaneApp::OnFileOpen);
    fileOpen->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    addAction(fileOpen);

    // On a screen smaller than the window (a laptop at 200 %, say) the view
    // scrolls instead of cutting the drawing off.
    m_pView = new CNorvaneView(&document);
    auto* scroller = new QScrollArea;
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    scroller->setFocusPolicy(Qt::NoFocus);
    scroller->setWidget(m_pView);
    setCentralWidget(scroller);

    m_InitialSize = QSize(MainWindowWidth, MainWindowHeight);
    if (const QScreen* screen = this->screen()) {
        m_InitialSize = m_InitialSize.boundedTo(screen->availableSize());
    }
    resize(m_InitialSize);

    connect(&document, &CNorvaneDoc::TitleChanged, this, &CMainWindow::UpdateWindowTitle);
    // A selection of lines belongs to the design it was made in.
    connect(&app, &CNorvaneApp::DesignChanged, m_pView, &CNorvaneView::ClearSelection);
}

CMainWindow::~CMainWindow() = default;

QAction* CMainWindow::Command(const QString& name) const
{
    return findChild<QAction*>(name);
}

void CMainWindow::UpdateWindowTitle(const QString& documentTitle)
{
    setWindowTitle(QStringLiteral("%1 - Norvane").arg(documentTitle));
}

void CMainWindow::closeEvent(QCloseEvent* event)
{
    if (m_Document.SaveModified()) {
        event->accept();
    } else {
        event->ignore();
    }
}

void CMainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_SizeSettled) {
        m_SizeSettled = true;
        AdjustToOuterSize();
        // Window managers report the frame only once they have decorated
        // the window.
        QTimer::singleShot(200, this, &CMainWindow::AdjustToOuterSize);
    }
}

void CMainWindow::AdjustToOuterSize()
{
    // Only the size given at creation is corrected, never one the user chose.
    const QSize inner = geometry().size();
    if (inner != m_InitialSize) {
        return;
    }
    const QSize outer = frameGeometry().size();
    const QSize frame = outer - inner;
    const QSize wanted = m_InitialSize - frame;
    if (frame.width() > 0 || frame.height() > 0) {
        resize(wanted);
    }
}

} // namespace norvane
