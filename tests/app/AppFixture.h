#pragma once

// A started application with its file dialogs replaced: the save dialog
// answers with NextSavePath (empty: cancelled), the open dialog with
// NextOpenPath; both count their calls.

#include "app/MainWindow.h"
#include "app/NorvaneApp.h"
#include "app/NorvaneDoc.h"
#include "app/NorvaneView.h"
#include "app/VerificationWindow.h"
#include "dialogs/CommonBaseDialog.h"
#include "dialogs/CommonCollectorDialog.h"
#include "dialogs/CommonEmitterDialog.h"
#include "support/ModalHelpers.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace norvane::test {

struct AppFixture {
    QTemporaryDir folder;
    std::unique_ptr<CNorvaneApp> app = std::make_unique<CNorvaneApp>();
    bool started = false;
    QString NextSavePath;
    QString NextOpenPath;
    int saveDialogs = 0;
    int openDialogs = 0;

    explicit AppFixture(const QStringList& arguments = {}, bool clearSettings = true)
    {
        if (clearSettings) {
            QSettings().clear();
        }
        started = app->InitInstance(QStringList{QStringLiteral("norvane")} + arguments);
        if (started) {
            Doc().SetSaveFileChooser([this](QWidget*, const QString&, const QString&, const QString&) {
                ++saveDialogs;
                return NextSavePath;
            });
            Doc().SetOpenFileChooser([this](QWidget*, const QString&, const QString&, const QString&) {
                ++openDialogs;
                return NextOpenPath;
            });
        }
    }

    CNorvaneDoc& Doc() { return *app->Document(); }
    CMainWindow& MainWindow() { return *app->MainWindow(); }
    QString Path(const QString& name) const { return folder.filePath(name); }

    // Runs a New Amplifier command, confirming its dialog after setup.
    void Calculate(CircuitKind kind, std::function<void(CCircuitDialog*)> setup = {})
    {
        OnNextModal<CCircuitDialog>([setup](CCircuitDialog* dialog) {
            if (setup) {
                setup(dialog);
            }
            dialog->OkButton()->click();
        });
        Run(kind);
    }

    // Runs a New Amplifier command and cancels its dialog.
    void Cancel(CircuitKind kind)
    {
        OnNextModal<CCircuitDialog>([](CCircuitDialog* dialog) { dialog->CancelButton()->click(); });
        Run(kind);
    }

    void Run(CircuitKind kind)
    {
        switch (kind) {
        case CircuitKind::CommonBase: app->OnNewCommonBase(); break;
        case CircuitKind::CommonEmitter: app->OnNewCommonEmitter(); break;
        case CircuitKind::CommonCollector: app->OnNewCommonCollector(); break;
        case CircuitKind::None: break;
        }
    }

    static std::function<void(CCircuitDialog*)> WithType(const QString& type)
    {
        return [type](CCircuitDialog* dialog) { dialog->TransistorEdit()->setText(type); };
    }
};

// Opens the verification window and waits up to waitMs for its first
// simulation.
inline CVerificationWindow* OpenVerificationWindow(AppFixture& f, int waitMs)
{
    f.MainWindow().Command("verification")->trigger();
    CVerificationWindow* window = f.app->VerificationWindow();
    if (window) {
        (void)QTest::qWaitFor([window] { return !window->IsSimulating(); }, waitMs);
    }
    return window;
}

// Types text into a field as a user does (select all, then keys).
inline void Type(QLineEdit* edit, const QString& text)
{
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

} // namespace norvane::test
