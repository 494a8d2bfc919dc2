#pragma once

// The single document. It holds no design: it answers the view's queries
// from the application, owns the two "Result" commands, asks before an
// unsaved result is discarded, and writes the report. Its file is the
// report last saved, or the report opened when the design computed again
// from it shows exactly what the file shows; an opened report that differs
// leaves the document untitled, so that Save asks for a name.

#include "app/DesignObjects.h"
#include "app/NorvaneApp.h"
#include "design/DesignResults.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace norvane {

class CNorvaneApp;

inline constexpr const char* DocumentFilter = "HTML-files (*.html)";
inline constexpr const char* DocumentExtension = ".html";
inline constexpr const char* UntitledTitle = "Untitled";

inline constexpr const char* NothingCalculatedMessage =
    "Until now, no circuit has been calculated.\n\nPlease start with menu item \"New Amplifier\".";
inline constexpr const char* SaveCaption = "Result - Save";
inline constexpr const char* SaveAsCaption = "Result - Save as...";
inline constexpr const char* UnsavedQuestion =
    "Your latest result has not been saved yet.\n\nDo you want to save your design ?";
inline constexpr const char* UnsavedCaption = "Result has not been saved yet";
inline constexpr const char* PartsListFilter = "Parts lists (*.csv)";
inline constexpr const char* PartsListCaption = "Export parts list";
inline constexpr const char* KicadFilter = "KiCad schematics (*.kicad_sch)";
inline constexpr const char* KicadCaption = "Export KiCad schematic";

// path with ".html" appended when its file name has no extension.
QString WithDocumentExtension(const QString& path);

// The save dialog, starting at suggested; a name typed without an
// extension gets the suggested name's. Empty when the user cancels.
QString AskSaveFileName(QWidget* owner, const QString& caption, const QString& suggested,
                        const QString& filter);

class CNorvaneDoc : public QObject {
    Q_OBJECT
public:
    // Asks for a file name: (owner, caption, suggested path, filter) ->
    // the chosen path, empty when cancelled.
    using FileChooser = std::function<QString(QWidget*, const QString&, const QString&, const QString&)>;

    explicit CNorvaneDoc(CNorvaneApp& app);
    ~CNorvaneDoc() override;

    // Queries, answered by the application.
    ResultList GetInputData() const;
    ResultList GetComponentValues() const;
    ResultList GetOperationPoint() const;
    std::vector<std::string> GetNotes() const;
    bool IsChangeNote(const std::string& note) const;
    std::string GetVerdictLine() const;
    VerdictState GetVerdictState() const;
    std::string GetCircuitTitle() const;
    std::uint16_t GetSchematicId() const;
    CalculationOutcome GetLastOutcome() const;

    const QString& GetPathName() const { return m_PathName; }
    const QString& GetTitle() const { return m_Title; }

    // The "Result" commands.
    void OnSaveResult();
    void OnSaveResultAs();
    // Writes the parts list of the current design as CSV (the columns of
    // KiCad's grouped bill of materials), to a file the user names; the
    // name suggested is the document's with "-parts.csv".
    void OnExportPartsList();
    // Writes the KiCad schematic of the current design to a file the user
    // names; the name suggested is the document's with ".kicad_sch".
    void OnExportKicadSchematic();

    // Asked before the document is closed or replaced; false refuses.
    bool SaveModified();

    // The framework side: a fresh untitled document after SaveModified
    // (false when that refused), the open command with its file dialog,
    // and opening a named file (false when it cannot be opened).
    bool FileNew();
    void FileOpen();
    bool OpenDocumentFile(const QString& path, bool reportFailure = true);

    void SetSaveFileChooser(FileChooser chooser) { m_SaveChooser = std::move(chooser); }
    void SetOpenFileChooser(FileChooser chooser) { m_OpenChooser = std::move(chooser); }

    // The text of the last failure to open a file.
    const QString& LastOpenError() const { return m_LastOpenError; }

Q_SIGNALS:
    void TitleChanged(const QString& title);

private:
    bool DoFileSave();
    // Saves to path, or asks for a name first when path is empty.
    bool DoSave(const QString& path);
    bool OnSaveDocument(const QString& path);
    void SetPathName(const QString& path);
    void ResetToUntitled();
    QWidget* Owner() const;
    // An export of the current design (nothing before the first one): the
    // bytes content makes, to a file the user names, suggested as the
    // document's name with nameEnd and extension; the extension is added
    // to a name without one.
    void Export(const char* caption, const char* filter, const char* nameEnd, const char* extension,
                const std::function<Expected<std::string>()>& content);

    CNorvaneApp& m_App;
    QString m_PathName;
    QString m_Title;
    QString m_LastOpenError;
    FileChooser m_SaveChooser;
    FileChooser m_OpenChooser;
};

} // namespace norvane
