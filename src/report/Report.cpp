#include "report/Report.h"

#include "report/SchematicImages.h"

#include <cerrno>
#include <cstdint>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace norvane {
namespace {

// ---------------------------------------------------------------------------
// Escaping

constexpr char32_t ReplacementCharacter = 0xFFFD;

// The character at text[i] and the number of bytes it takes. A valid UTF-8
// sequence (shortest form, no surrogates, at most U+10FFFF) is decoded;
// any other byte stands for the ISO-8859-1 character of its value.
std::pair<char32_t, std::size_t> NextCharacter(std::string_view text, std::size_t i)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::pair<char32_t, std::size_t> single{lead, 1};
    if (lead < 0x80)
        return single;

    std::size_t length = 0;
    char32_t code = 0;
    unsigned char low = 0x80; // range of the second byte
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0; // no overlong forms
        else if (lead == 0xED)
            high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90; // no overlong forms
        else if (lead == 0xF4)
            high = 0x8F; // nothing beyond U+10FFFF
    } else {
        return single;
    }
    if (text.size() - i < length)
        return single;
    for (std::size_t k = 1; k < length; ++k) {
        const auto byte = static_cast<unsigned char>(text[i + k]);
        if (byte < low || byte > high)
            return single;
        low = 0x80;
        high = 0xBF;
        code = (code << 6) | (byte & 0x3F);
    }
    return {code, length};
}

// Control characters and noncharacters: XML forbids most of them and
// discourages the rest, and browsers treat them as errors.
bool IsUnwelcome(char32_t c)
{
    if (c < 0x20)
        return c != U'\t' && c != U'\n';
    return (c >= 0x7F && c <= 0x9F) || (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE;
}

std::string Escape(std::string_view text, bool inAttribute)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        auto [c, length] = NextCharacter(text, i);
        i += length;
        if (IsUnwelcome(c))
            c = ReplacementCharacter;
        switch (c) {
        case U'&': out += "&amp;"; break;
        case U'<': out += "&lt;"; break;
        case U'>': out += "&gt;"; break;
        case U'"': out += "&quot;"; break;
        default:
            if (c < 0x80 && !(inAttribute && (c == U'\t' || c == U'\n'))) {
                out += static_cast<char>(c);
            } else {
                out += "&#";
                out += std::to_string(static_cast<std::uint32_t>(c));
                out += ';';
            }
        }
    }
    return out;
}

// ---------------------------------------------------------------------------
// Report text

std::string FileNameOf(std::string_view path)
{
    const auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

void AppendRows(std::string& out, const ResultList& items)
{
    for (const ResultItem& item : items) {
        out += "<tr><td>";
        out += EscapeXhtmlText(item.name);
        out += " :</td><td>";
        out += EscapeXhtmlText(item.value);
        out += "</td></tr>\n";
    }
}

// ---------------------------------------------------------------------------
// Writing

std::string ErrorText(int error)
{
    return std::generic_category().message(error);
}

// write() until all bytes are out; 0 or the errno of the failure.
int WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

// Creates a temporary file beside path, named ".<file name>.<pid>-<n>.tmp"
// so that it is hidden and cannot be mistaken for a report. Returns the
// descriptor (or -1 with errno set) and the name.
int CreateTemporaryBeside(const std::string& path, std::string& temporaryPath)
{
    static unsigned counter = 0;
    const std::string stem = FolderFromPath(path) + "." + FileNameOf(path) + "." + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporaryPath = stem + std::to_string(counter++) + ".tmp";
        // 0666: the umask applies, as for any newly created file.
        const int fd = ::open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Flushes the folder that holds path, so that a rename in it is durable.
// Best effort: not every file system allows this.
void SyncFolderOf(const std::string& path)
{
    const std::string folder = FolderFromPath(path);
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// The atomic replacement; 0 or the errno of the step that failed.
int ReplaceFile(const std::string& path, std::string_view bytes)
{
    std::string temporaryPath;
    const int fd = CreateTemporaryBeside(path, temporaryPath);
    if (fd < 0)
        return errno;

    int error = WriteAll(fd, bytes);
    if (error == 0) {
        // A replaced file keeps its permissions.
        struct stat old {};
        if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode))
            ::fchmod(fd, old.st_mode & 07777);
        if (::fsync(fd) != 0)
            error = errno;
    }
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temporaryPath.c_str(), path.c_str()) != 0)
        error = errno;

    if (error != 0) {
        ::unlink(temporaryPath.c_str());
        return error;
    }
    SyncFolderOf(path);
    return 0;
}

// Creates the folder, or accepts an existing one; 0 or an errno.
int MakeFolder(const std::string& folder)
{
    if (::mkdir(folder.c_str(), 0777) == 0)
        return 0;
    const int error = errno;
    struct stat existing {};
    if (error == EEXIST && ::stat(folder.c_str(), &existing) == 0)
        return S_ISDIR(existing.st_mode) ? 0 : ENOTDIR;
    return error;
}

} // namespace

std::string EscapeXhtmlText(std::string_view text)
{
    return Escape(text, false);
}

std::string EscapeXhtmlAttribute(std::string_view text)
{
    return Escape(text, true);
}

std::string BuildReport(const std::string& reportName, const ReportContent& content)
{
    const std::string name = EscapeXhtmlText(reportName);

    std::string out;
    out.reserve(4096);
    out += "<?xml version=\"1.0\"?>\n\n";
    out += "<!DOCTYPE html PUBLIC\n";
    out += "\"-//W3C//DTD XHTML 1.0 Strict//EN\"\n";
    out += "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n\n";
    out += "<html xmlns=\"http://www.w3.org/1999/xhtml\">\n\n";
    out += "<head>\n";
    out += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\" />\n";
    out += "<title>Norvane-Design \"" + name + "\"</title>\n";

    out += "<style type=\"text/css\" media=\"screen\">\n";
    out += "body { margin: 1em; font-family: Arial }\n";
    out += ".o td { padding: 0 1em 0 0 }\n";
    out += "p, .o td { font-size: 1em }\n";
    out += "h1 { font-size: 1.2em; margin: 0 0 0.5em 0 }\n";
    out += "h2 { font-size: 1.1em; margin: 1em 0 0.5em 0 }\n";
    out += ".c { font-size: 0.9em; margin: 0 }\n";
    out += ".m { border: 1px solid #000; border-collapse: collapse }\n";
    out += ".m td, .m th { border: 1px solid #000; font-size: 1em; padding: 0.4em; text-align: center }\n";
    out += "hr { border: solid #000 1px; height: 1px }\n";
    out += "</style>\n";

    out += "<style type=\"text/css\" media=\"print\">\n";
    out += "body { margin: 0; font-family: Arial }\n";
    out += ".o td { padding: 0 10px 0 0 }\n";
    out += "p, .o td { font-size: 11pt }\n";
    out += "h1 { font-size: 14pt; margin: 0 0 6px 0 }\n";
    out += "h2 { font-size: 12pt; margin: 12px 0 8px 0 }\n";
    out += ".c { font-size: 10pt; margin: 0 }\n";
    out += ".o { border: 0; padding: 0 10px 0 0 }\n";
    out += ".m { border: 1px solid #000; border-collapse: collapse }\n";
    out += ".m td, .m th { border: 1px solid #000; font-size: 11pt; padding: 5px; text-align: center }\n";
    out += "hr { border: solid #000 1px; height: 1px }\n";
    out += "</style>\n";
    out += "</head>\n\n";

    out += "<body>\n\n";
    out += "<h1>Norvane-Design \"" + name + "\"</h1>\n\n";
    for (const std::string& note : content.notes) {
        out += "<p><strong>" + EscapeXhtmlText(note) + "</strong></p>\n\n";
    }

    out += "<h2>Input data</h2>\n";
    out += "<table>\n";
    out += "<tr><td>Circuit :</td><td>" + EscapeXhtmlText(content.circuitTitle) + "</td></tr>\n";
    AppendRows(out, content.inputData);
    out += "</table>\n\n";

    out += "<h2>Circuit</h2>\n";
    out += "<p><img src=\"" + EscapeXhtmlAttribute(ImageReference(reportName)) + "\" alt=\"circuit\" /></p>\n\n";

    out += "<h2>Component values</h2>\n";
    out += "<table>\n";
    AppendRows(out, content.componentValues);
    out += "</table>\n\n";

    out += "<h2>Operation point</h2>\n";
    out += "<table>\n";
    AppendRows(out, content.operationPoint);
    out += "</table>\n\n";

    out += "<hr />\n\n";
    out += "<p class=\"c\">Created using Norvane ";
    out += ProgramVersion;
    out += ", written by ";
    out += EscapeXhtmlText(AuthorName);
    out += "\n";
    const std::string address = EscapeXhtmlAttribute(ProductWebAddress);
    out += "<a href=\"" + address + "\">" + EscapeXhtmlText(ProductWebAddress) + "</a></p>\n\n";
    out += "</body>\n";
    out += "</html>\n";
    return out;
}

std::string ReportNameFromPath(std::string_view path)
{
    const std::string file = FileNameOf(path);
    const auto dot = file.rfind('.');
    return dot == std::string::npos ? file : file.substr(0, dot);
}

std::string FolderFromPath(std::string_view path)
{
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string ImageFolderPath(std::string_view reportPath)
{
    return FolderFromPath(reportPath) + ReportNameFromPath(reportPath) + "-Files";
}

std::string ImageFilePath(std::string_view reportPath)
{
    return ImageFolderPath(reportPath) + "/" + ReportNameFromPath(reportPath) + ".png";
}

std::string ImageReference(const std::string& reportName)
{
    return reportName + "-Files/" + reportName + ".png";
}

std::string ReportWriteFailureMessage(const std::string& reportPath, const std::string& reason)
{
    return "The report could not be written to \"" + reportPath + "\":\n" + reason;
}

std::string ImageFolderFailureMessage(const std::string& folderPath, const std::string& reason)
{
    return "The report was written, but the folder \"" + folderPath + "\" for its circuit image could not be created:\n" +
           reason;
}

std::string ImageWriteFailureMessage(const std::string& imagePath, const std::string& reason)
{
    return "The report was written, but its circuit image could not be written to \"" + imagePath + "\":\n" +
           reason;
}

std::string FileWriteFailureMessage(const std::string& path, const std::string& reason)
{
    return "The file \"" + path + "\" could not be written:\n" + reason;
}

WriteOutcome WriteFileAtomically(const std::string& path, std::string_view bytes)
{
    if (const int error = ReplaceFile(path, bytes))
        return {false, FileWriteFailureMessage(path, ErrorText(error))};
    return {true, {}};
}

WriteOutcome WriteSchematicPng(std::span<const std::uint8_t> png, const std::string& imagePath)
{
    const std::string_view bytes(reinterpret_cast<const char*>(png.data()), png.size());
    if (const int error = ReplaceFile(imagePath, bytes))
        return {false, ImageWriteFailureMessage(imagePath, ErrorText(error))};
    return {true, {}};
}

WriteOutcome WriteReport(const std::string& reportPath, const ReportContent& content,
                         std::span<const std::uint8_t> schematicPng)
{
    const std::string text = BuildReport(ReportNameFromPath(reportPath), content);
    if (const int error = ReplaceFile(reportPath, text))
        return {false, ReportWriteFailureMessage(reportPath, ErrorText(error))};

    const std::string folder = ImageFolderPath(reportPath);
    if (const int error = MakeFolder(folder))
        return {false, ImageFolderFailureMessage(folder, ErrorText(error))};

    return WriteSchematicPng(schematicPng, ImageFilePath(reportPath));
}

WriteOutcome WriteSchematicPng(std::uint16_t schematicId, const std::string& imagePath)
{
    if (!IsSchematicId(schematicId)) {
        return {false, ImageWriteFailureMessage(
                           imagePath, "no schematic has the id " + std::to_string(schematicId))};
    }
    return WriteSchematicPng(SchematicPng(schematicId), imagePath);
}

ReportContent ReportContentOf(const AmplifierDesign& design)
{
    return {design.Title(), design.GetInputData(), design.GetComponentValues(),
            design.GetOperationPoint(), DesignNotes(design)};
}

WriteOutcome WriteReport(const std::string& reportPath, const AmplifierDesign& design)
{
    return WriteReport(reportPath, ReportContentOf(design), SchematicPng(design.SchematicId()));
}

} // namespace norvane
