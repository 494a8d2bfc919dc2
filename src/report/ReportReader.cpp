#include "report/ReportReader.h"

#include "design/InputChecks.h"
#include "format/EngineeringFormat.h"
#include "transistors/TransistorTable.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace norvane {

namespace {

constexpr std::string_view NotAReport = "it is not a Norvane report";

// Appends the code point as UTF-8.
void AppendUtf8(std::string& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Character data with the references the report writes (&amp; &lt; &gt;
// &quot; and numeric ones) resolved; nullopt for any other '&' or markup.
std::optional<std::string> Unescape(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '<' || c == '>') {
            return std::nullopt;
        }
        if (c != '&') {
            out += c;
            continue;
        }
        const std::size_t end = text.find(';', i);
        if (end == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view entity = text.substr(i + 1, end - i - 1);
        if (entity == "amp") {
            out += '&';
        } else if (entity == "lt") {
            out += '<';
        } else if (entity == "gt") {
            out += '>';
        } else if (entity == "quot") {
            out += '"';
        } else if (entity.size() > 1 && entity[0] == '#') {
            const bool hex = entity[1] == 'x';
            const std::string_view digits = entity.substr(hex ? 2 : 1);
            std::uint32_t cp = 0;
            const auto [ptr, ec] =
                std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
            // Only a character XML allows (its production Char): no NUL or
            // other control character but tab and line ends, no
            // surrogate, neither U+FFFE nor U+FFFF, nothing past U+10FFFF.
            const bool isChar = cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
                                (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
            if (ec != std::errc() || ptr != digits.data() + digits.size() || !isChar) {
                return std::nullopt;
            }
            AppendUtf8(out, cp);
        } else {
            return std::nullopt;
        }
        i = end;
    }
    return out;
}

struct Section {
    std::string m_Heading;
    ResultList m_Rows;
};

// The <h2> sections of the body and the "<tr><td>name :</td><td>value</td></tr>"
// rows of each.
std::optional<std::vector<Section>> ReadSections(std::string_view text)
{
    constexpr std::string_view H2Open = "<h2>", H2Close = "</h2>";
    constexpr std::string_view RowOpen = "<tr><td>", Middle = " :</td><td>", RowClose = "</td></tr>";
    std::vector<Section> sections;
    std::size_t pos = 0;
    // The next heading and the next row at or after pos, each looked for
    // again only once pos has passed it: a file of many headings and no
    // rows would otherwise be searched to its end for a row at every one.
    std::size_t h2 = text.find(H2Open);
    std::size_t row = text.find(RowOpen);
    while (true) {
        if (h2 < pos) {
            h2 = text.find(H2Open, pos);
        }
        if (row < pos) {
            row = text.find(RowOpen, pos);
        }
        if (h2 == std::string_view::npos && row == std::string_view::npos) {
            return sections;
        }
        if (h2 < row) {
            const std::size_t close = text.find(H2Close, h2);
            if (close == std::string_view::npos) {
                return std::nullopt;
            }
            auto heading = Unescape(text.substr(h2 + H2Open.size(), close - h2 - H2Open.size()));
            if (!heading) {
                return std::nullopt;
            }
            sections.push_back({std::move(*heading), {}});
            pos = close + H2Close.size();
            continue;
        }
        // A row is one line: its parts are looked for in it alone.
        const std::string_view line = text.substr(row, text.find('\n', row) - row);
        const std::size_t middle = line.find(Middle);
        const std::size_t close = middle == std::string_view::npos ? middle : line.find(RowClose, middle);
        if (close == std::string_view::npos || sections.empty()) {
            return std::nullopt;
        }
        auto name = Unescape(line.substr(RowOpen.size(), middle - RowOpen.size()));
        auto value = Unescape(line.substr(middle + Middle.size(), close - middle - Middle.size()));
        if (!name || !value) {
            return std::nullopt;
        }
        sections.back().m_Rows.push_back({std::move(*name), std::move(*value)});
        pos = row + close + RowClose.size();
    }
}

const ResultList* FindSection(const std::vector<Section>& sections, std::string_view heading)
{
    const auto found = std::ranges::find(sections, heading, &Section::m_Heading);
    return found == sections.end() ? nullptr : &found->m_Rows;
}

const std::string* FindValue(const ResultList& rows, std::string_view name)
{
    const auto found = std::ranges::find(rows, name, &ResultItem::name);
    return found == rows.end() ? nullptr : &found->value;
}

// A requirement as the report shows it ("100 kHz", "2 k") read back with the
// dialog's own rules.
Status ReadField(const std::string& shown, InputField field, DesignInputs& inputs)
{
    const FieldInfo& info = FieldInfoOf(field);
    std::string_view text = shown;
    const std::string_view unit = info.unit;
    if (!unit.empty() && text.ends_with(unit)) {
        text.remove_suffix(unit.size());
    }
    const FieldCheck check = CheckField(field, text);
    if (check.m_Result != InputCheck::Accepted || text.empty()) {
        return Failure{"its value " + std::string(info.rangeLabel) + ", \"" + shown +
                       "\", is not one Norvane accepts"};
    }
    inputs.SetValue(field, check.m_Value);
    return {};
}

Failure NotAReportFailure()
{
    return Failure{std::string(NotAReport)};
}

std::string_view Trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// A value of the setup as SetupRows writes it: the shortest exact text
// ("1.2345e-09") or the engineering one ("1.8 n"), a capacitor's with its
// "F"; nullopt unless it is a positive finite number.
std::optional<double> ReadSetupValue(std::string_view text, bool capacitor)
{
    if (capacitor) {
        if (!text.ends_with('F')) {
            return std::nullopt;
        }
        text.remove_suffix(1);
    }
    text = Trimmed(text);
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        const std::optional<double> read = text.empty() ? std::nullopt : ReadEngineering(text);
        value = read.value_or(0.0);
    }
    if (!std::isfinite(value) || value <= 0.0) {
        return std::nullopt;
    }
    return value;
}

template <typename Number>
std::optional<Number> ReadWhole(std::string_view text)
{
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// The rows of the "Recipe" section into the setup of a design of inputs.
Status ReadSetup(const ResultList& rows, const DesignInputs& inputs, DesignSetup& setup)
{
    const std::unique_ptr<AmplifierDesign> design = MakeDesign(inputs.Kind());
    design->Compute(inputs);
    const std::vector<NamedValue> parts = design->ComponentNumbers();
    bool tolerances = false;
    bool runs = false;
    for (const ResultItem& row : rows) {
        const auto refused = [&] {
            return Failure{"its recipe line \"" + row.name + " : " + row.value +
                           "\" is not one Norvane accepts"};
        };
        const std::string_view name = row.name;
        std::optional<double> number;
        const auto part = [&](std::string_view prefix) -> std::optional<NamedValue> {
            const std::string_view part = name.substr(prefix.size());
            if (std::ranges::find(parts, part, &NamedValue::first) == parts.end()) {
                return std::nullopt;
            }
            const std::optional<double> value = ReadSetupValue(row.value, part.starts_with('C'));
            return value ? std::optional<NamedValue>({std::string(part), *value}) : std::nullopt;
        };
        if (name.starts_with("Applied ") || name.starts_with("What if ")) {
            const bool applied = name.starts_with("Applied ");
            const std::optional<NamedValue> value = part(applied ? "Applied " : "What if ");
            if (!value) {
                return refused();
            }
            (applied ? setup.m_Applied : setup.m_Conditions.m_PartValues).push_back(*value);
        } else if (name == "Load" || name == "Source") {
            if (!(number = ReadSetupValue(row.value, false))) {
                return refused();
            }
            (name == "Load" ? setup.m_Conditions.m_LoadResistance : setup.m_Conditions.m_SourceResistance) =
                *number;
        } else if (name == "Analyses") {
            std::string_view list = row.value;
            while (!list.empty()) {
                const std::size_t comma = list.find(", ");
                const std::string_view analysis = list.substr(0, comma);
                list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 2);
                if (analysis == "tolerances") {
                    tolerances = true;
                } else if (analysis == "temperature") {
                    setup.m_Analyses.m_Temperature = true;
                } else if (analysis == "distortion") {
                    setup.m_Analyses.m_Distortion = true;
                } else if (analysis == "noise") {
                    setup.m_Analyses.m_Noise = true;
                } else if (analysis == "worst case") {
                    setup.m_Analyses.m_WorstCase = true;
                } else {
                    return refused();
                }
            }
        } else if (name == "Tolerance runs") {
            const std::optional<int> value = ReadWhole<int>(row.value);
            if (!value || *value < 1 || *value > MaximumToleranceRuns) {
                return refused();
            }
            setup.m_Analyses.m_ToleranceRuns = *value;
            runs = true;
        } else if (name == "Tolerance seed") {
            const std::optional<std::uint64_t> value = ReadWhole<std::uint64_t>(row.value);
            if (!value) {
                return refused();
            }
            setup.m_Analyses.m_Seed = *value;
        } else {
            return refused();
        }
    }
    if (tolerances != runs) {
        return Failure{"its recipe names tolerances without their runs, or runs without the analysis"};
    }
    return {};
}

} // namespace

Expected<ReportRecipe> ParseReport(std::string_view text)
{
    if (text.size() > MaxReportBytes || text.find("<h1>Norvane-Design \"") == std::string_view::npos) {
        return NotAReportFailure();
    }
    // A report ends with its closing tag: a file cut anywhere before it
    // (a full disk, a copy broken off) is no report, even where the
    // sections it still holds would read.
    const std::size_t last = text.find_last_not_of(" \t\r\n");
    if (last == std::string_view::npos || !text.substr(0, last + 1).ends_with("</html>")) {
        return NotAReportFailure();
    }
    const auto sections = ReadSections(text);
    if (!sections) {
        return NotAReportFailure();
    }
    const ResultList* inputData = FindSection(*sections, "Input data");
    const ResultList* components = FindSection(*sections, "Component values");
    const ResultList* operation = FindSection(*sections, "Operation point");
    if (!inputData || !components || !operation || inputData->empty() ||
        inputData->front().name != "Circuit") {
        return NotAReportFailure();
    }

    const std::string& title = inputData->front().value;
    const auto circuits = AllCircuits();
    const auto circuit = std::ranges::find_if(
        circuits, [&](const CircuitInfo& info) { return title == CircuitTitle(info.kind); });
    if (circuit == circuits.end()) {
        return Failure{"it names no circuit Norvane designs (\"" + title + "\")"};
    }

    ReportRecipe recipe{DesignInputs(circuit->kind),
                        ResultList(std::next(inputData->begin()), inputData->end()), *components, *operation};
    for (const InputField field : circuit->resultOrder) {
        const std::string* shown = FindValue(recipe.inputData, FieldInfoOf(field).resultName);
        if (!shown) {
            return NotAReportFailure();
        }
        if (Status read = ReadField(*shown, field, recipe.inputs); !read) {
            return Failure{read.Message()};
        }
    }
    const std::string* supply = FindValue(*components, "UB");
    const std::string* type = FindValue(*components, "T1");
    const std::string* series = FindValue(recipe.inputData, "Standard series");
    if (!supply || !type || !series) {
        return NotAReportFailure();
    }
    if (Status read = ReadField(*supply, InputField::SupplyVoltage, recipe.inputs); !read) {
        return Failure{read.Message()};
    }
    const auto seriesIndex =
        std::ranges::find_if(SeriesCounts, [&](int count) { return *series == SeriesLabel(count); });
    if (seriesIndex == SeriesCounts.end()) {
        return Failure{"its standard series \"" + *series + "\" is none of E12, E24, E48 and E96"};
    }
    recipe.inputs.SetSeriesIndex(static_cast<int>(seriesIndex - SeriesCounts.begin()));
    const int transistor = FindTransistor(std::string_view(*type));
    if (transistor < 0) {
        return Failure{"its transistor type \"" + *type + "\" is not in the built-in library"};
    }
    recipe.inputs.SetTransistorIndex(transistor);
    if (const ResultList* setup = FindSection(*sections, SetupHeading)) {
        if (Status read = ReadSetup(*setup, recipe.inputs, recipe.setup); !read) {
            return Failure{read.Message()};
        }
    }
    return recipe;
}

std::unique_ptr<AmplifierDesign> DesignFromReport(const ReportRecipe& recipe)
{
    std::unique_ptr<AmplifierDesign> design = MakeDesign(recipe.inputs.Kind());
    design->Compute(recipe.inputs);
    design->ApplyPartValues(recipe.setup.m_Applied);
    return design;
}

Expected<ReportRecipe> ReadReportFile(const std::string& path)
{
    const auto fail = [&](std::string_view why) {
        return Failure{"Cannot open \"" + path + "\": " + std::string(why)};
    };
    // Only a regular file: a FIFO or a device would block or never end.
    // Opened first, without blocking (a FIFO would wait for a writer), and
    // then what was opened is looked at: a path checked first could be
    // swapped for a FIFO before it is opened.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return fail(std::strerror(errno));
    }
    struct Closer {
        int m_Fd;
        ~Closer() { ::close(m_Fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return fail(std::strerror(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        return fail(S_ISDIR(info.st_mode) ? "it is a folder" : NotAReport);
    }
    if (static_cast<std::size_t>(info.st_size) > MaxReportBytes) {
        return fail(NotAReport);
    }
    std::string text(MaxReportBytes + 1, '\0');
    std::size_t size = 0;
    while (size < text.size()) {
        const ssize_t got = ::read(fd, text.data() + size, text.size() - size);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return fail("it cannot be read");
        }
        if (got == 0) {
            break;
        }
        size += static_cast<std::size_t>(got);
    }
    text.resize(size);
    Expected<ReportRecipe> recipe = ParseReport(text);
    if (!recipe) {
        return fail(recipe.Message());
    }
    return recipe;
}

std::vector<std::string> DifferencesFromReport(const ReportRecipe& recipe, const AmplifierDesign& design)
{
    std::vector<std::string> differences;
    const auto compare = [&](const ResultList& inFile, const ResultList& now) {
        for (const ResultItem& item : now) {
            const std::string* shown = FindValue(inFile, item.name);
            if (!shown) {
                differences.push_back(item.name + " (not in the file, " + item.value + " now)");
            } else if (*shown != item.value) {
                differences.push_back(item.name + " (" + *shown + " in the file, " + item.value + " now)");
            }
        }
        for (const ResultItem& item : inFile) {
            if (!FindValue(now, item.name)) {
                differences.push_back(item.name + " (" + item.value + " in the file, none now)");
            }
        }
    };
    compare(recipe.inputData, design.GetInputData());
    compare(recipe.componentValues, design.GetComponentValues());
    compare(recipe.operationPoint, design.GetOperationPoint());
    return differences;
}

std::string DifferenceNote(std::string_view fileName, const std::vector<std::string>& differences)
{
    if (differences.empty()) {
        return {};
    }
    std::string note = "Computed again from the requirements in " + std::string(fileName) +
                       ", this result differs from the file in ";
    for (std::size_t i = 0; i < differences.size(); ++i) {
        note += (i == 0 ? "" : ", ") + differences[i];
    }
    return note;
}

} // namespace norvane
