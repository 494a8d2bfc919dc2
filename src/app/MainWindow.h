#pragma once

// The main window: the menu, the accelerators and the view. Its outer size
// at creation is 810 x 538 pixels, frame included, or the screen's free area
// where that is smaller; the user may resize it, and the view scrolls where
// the window is smaller than its drawing.

#include <QMainWindow>

class QAction;

namespace norvane {

class CNorvaneApp;
class CNorvaneDoc;
class CNorvaneView;

inline constexpr int MainWindowWidth = 810;
inline constexpr int MainWindowHeight = 538;

class CMainWindow : public QMainWindow {
    Q_OBJECT
public:
    CMainWindow(CNorvaneApp& app, CNorvaneDoc& document);
    ~CMainWindow() override;

    CNorvaneView* View() const { return m_pView; }

    // "<title> - Norvane".
    void UpdateWindowTitle(const QString& documentTitle);

    // The commands, by name: "newCommonBase", "newCommonEmitter",
    // "newCommonCollector", "saveResult", "saveResultAs", "about",
    // "fileNew", "fileOpen", "verification", "includeSimulation".
    QAction* Command(const QString& name) const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void AdjustToOuterSize();

    QSize m_InitialSize; // outer size at creation

    CNorvaneDoc& m_Document;
    CNorvaneView* m_pView = nullptr;
    bool m_SizeSettled = false;
};

} // namespace norvane
