#include "circuit/Netlist.h"

#include "design/CommonBaseDesign.h"
#include "design/CommonCollectorDesign.h"
#include "design/CommonEmitterDesign.h"
#include "transistors/TransistorTable.h"

#include "support/Prerequisites.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace norvane {
namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) {
        lines.push_back(line);
    }
    return lines;
}

bool HasLine(const std::string& text, const std::string& line)
{
    const auto lines = Lines(text);
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// True when some line starts with prefix.
bool HasLineStarting(const std::string& text, const std::string& prefix)
{
    for (const std::string& line : Lines(text)) {
        if (line.starts_with(prefix)) {
            return true;
        }
    }
    return false;
}

CommonEmitterDesign CommonEmitter(double gainDb, const char* transistor = "BC548B")
{
    CommonEmitterDesign design;
    DesignInputs inputs(CircuitKind::CommonEmitter);
    inputs.SetValue(InputField::Gain, gainDb);
    inputs.SetTransistorIndex(FindTransistor(transistor));
    design.Compute(inputs);
    return design;
}

TEST(SpiceNumber, WritesPlainDecimalOrExponentText)
{
    EXPECT_EQ(SpiceNumber(620000), "620000");
    EXPECT_EQ(SpiceNumber(2.39e-14), "2.39e-14");
    EXPECT_EQ(SpiceNumber(1e-06), "1e-06");
    EXPECT_EQ(SpiceNumber(0.1357), "0.1357");
    EXPECT_EQ(SpiceNumber(294.3), "294.3");
    EXPECT_EQ(SpiceNumber(-12), "-12");
    EXPECT_EQ(SpiceNumber(1e12), "1e+12");
    EXPECT_EQ(SpiceNumber(1e20), "1e+20");
    EXPECT_EQ(SpiceNumber(1000000), "1000000");
    EXPECT_EQ(SpiceNumber(12345678), "1.2345678e+07");
    // Noise in the last bits of a computed value does not show.
    EXPECT_EQ(SpiceNumber(0.1 + 0.2), "0.3");
    EXPECT_EQ(SpiceNumber(56 * 1e-8), "5.6e-07");
}

TEST(ModelCard, CarriesEveryFiniteParameterOfTheRecordExactly)
{
    const TransistorRecord record = GetTransistorRecord(FindTransistor("BC548B"));
    const std::string card = WriteModelCard(record);
    ASSERT_TRUE(card.starts_with(".model BC548B NPN(")) << card;
    ASSERT_TRUE(card.ends_with(")\n")) << card;

    // Join the continuation lines and read every NAME=value back.
    std::string joined;
    for (std::string line : Lines(card)) {
        if (line.starts_with("+")) {
            line.erase(0, 1);
        }
        joined += line + " ";
    }
    joined = joined.substr(joined.find('(') + 1);
    joined = joined.substr(0, joined.rfind(')'));
    std::istringstream stream(joined);
    std::string token;
    int count = 0;
    while (stream >> token) {
        const std::size_t equals = token.find('=');
        ASSERT_NE(equals, std::string::npos) << token;
        const std::string name = token.substr(0, equals);
        const std::string value = token.substr(equals + 1);
        const auto* found =
            std::find_if(std::begin(TransistorParameterNames), std::end(TransistorParameterNames),
                         [&](const char* n) { return name == n; });
        ASSERT_NE(found, std::end(TransistorParameterNames)) << name;
        // The whole text is the number: no scale suffix that a SPICE reader
        // would take its own way ("M" is milli there).
        char* end = nullptr;
        const double parsed = std::strtod(value.c_str(), &end);
        EXPECT_EQ(*end, '\0') << token;
        EXPECT_EQ(parsed, TransistorParameter(record, static_cast<int>(found - TransistorParameterNames)))
            << token;
        ++count;
    }
    EXPECT_EQ(count, TransistorParameterCount); // BC548B has no infinite parameter
}

TEST(ModelCard, LeavesInfiniteParametersAtTheirDefault)
{
    const std::string card = WriteModelCard(GetTransistorRecord(FindTransistor("2N3904")));
    EXPECT_EQ(card.find("IRB="), std::string::npos) << card;
    EXPECT_EQ(card.find("VAR="), std::string::npos) << card;
    EXPECT_EQ(card.find("e+308"), std::string::npos) << card;
    EXPECT_NE(card.find("VAF=74.03"), std::string::npos) << card;
}

TEST(ModelCard, LeavesZerosThatMeanAbsentOut)
{
    // 2N3904: IKR = 0, no reverse roll-off.
    const std::string card = WriteModelCard(GetTransistorRecord(FindTransistor("2N3904")));
    EXPECT_EQ(card.find("IKR="), std::string::npos) << card;
    EXPECT_NE(card.find("IKF=0.06678"), std::string::npos) << card;
    // Other zeros are plain zeros.
    EXPECT_NE(card.find(" RE=0 "), std::string::npos) << card;

    TransistorRecord record = GetTransistorRecord(FindTransistor("BC548B"));
    record.IRB = 0;
    record.IKF = 0;
    record.VAF = 0;
    const std::string changed = WriteModelCard(record);
    EXPECT_EQ(changed.find("IRB="), std::string::npos) << changed;
    EXPECT_EQ(changed.find("IKF="), std::string::npos) << changed;
    EXPECT_EQ(changed.find("VAF="), std::string::npos) << changed;
    EXPECT_NE(changed.find("IKR=0.1144"), std::string::npos) << changed;
}

// SPICE2's rule: ISE above 1e-4 is a multiple of IS to ngspice; the card
// gives that multiple, so that ngspice arrives at the table's current.
TEST(ModelCard, LeakageAboveTheLegacyLimitIsWrittenAsAMultipleOfIs)
{
    TransistorRecord record = GetTransistorRecord(FindTransistor("BC548B"));
    record.IS = 7.34e-06;
    record.ISE = 1.043e-4;
    record.ISC = 1e-4; // at the limit: a current still
    const std::string card = WriteModelCard(record);
    const auto lines = Lines(card);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "* ISE = 0.0001043 A is written as a multiple of IS (" +
                            SpiceNumber(1.043e-4 / 7.34e-6) +
                            "): SPICE2 and ngspice read a value above 0.0001 so; a reader without that rule "
                            "needs ISE=0.0001043");
    EXPECT_TRUE(lines[1].starts_with(".model BC548B NPN(")) << card;
    EXPECT_NE(card.find(" ISE=" + SpiceNumber(1.043e-4 / 7.34e-6)), std::string::npos) << card;
    EXPECT_NE(card.find(" ISC=0.0001\n"), std::string::npos) << card;
}

// Every card of the table: names and numbers only, each number read back
// whole by strtod, nothing infinite.
TEST(ModelCard, EveryRecordOfTheTableGivesACleanCard)
{
    for (const TransistorRecord& record : TransistorTable()) {
        std::string card = WriteModelCard(record);
        while (card.starts_with("* ")) {
            card.erase(0, card.find('\n') + 1);
        }
        EXPECT_TRUE(card.starts_with(std::string(".model ") + record.name +
                                     (record.polarity == 'P' ? " PNP(" : " NPN(")))
            << card;
        std::string body = card.substr(card.find('(') + 1);
        body = body.substr(0, body.rfind(')'));
        std::istringstream stream(body);
        std::string token;
        while (stream >> token) {
            if (token == "+") {
                continue;
            }
            const std::size_t equals = token.find('=');
            ASSERT_NE(equals, std::string::npos) << record.name << ": " << token;
            char* end = nullptr;
            const double value = std::strtod(token.c_str() + equals + 1, &end);
            EXPECT_EQ(*end, '\0') << record.name << ": " << token;
            EXPECT_TRUE(std::isfinite(value) && value < InfiniteParameter) << record.name << ": " << token;
        }
    }
}

TEST(ModelCard, LeavesZeroJunctionPotentialsOut)
{
    const std::string card = WriteModelCard(GetTransistorRecord(FindTransistor("AC187K")));
    EXPECT_EQ(card.find("VJE="), std::string::npos) << card;
    EXPECT_EQ(card.find("VJC="), std::string::npos) << card;
    EXPECT_EQ(card.find("VJS="), std::string::npos) << card;
    EXPECT_NE(card.find("IS=1.435"), std::string::npos) << card;
    EXPECT_NE(card.find("NC=1e+20"), std::string::npos) << card;
}

TEST(ModelCard, NamesThePolarity)
{
    EXPECT_TRUE(
        WriteModelCard(GetTransistorRecord(FindTransistor("BC558B"))).starts_with(".model BC558B PNP("));
}

TEST(Netlist, CommonEmitterWithBypass)
{
    const CommonEmitterDesign design = CommonEmitter(20);
    ASSERT_FALSE(design.IsWithoutBypass());
    const std::string netlist = WriteNetlist(design);
    const auto lines = Lines(netlist);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "* Norvane Common-Emitter circuit: T1 = BC548B (NPN), UB = 12 V, f_min = 10 Hz");
    EXPECT_EQ(lines.back(), ".end");
    EXPECT_TRUE(HasLine(netlist, "VCC vcc 0 DC 12")) << netlist;
    EXPECT_TRUE(HasLine(netlist, "VIN in 0 DC 0 AC 1")) << netlist;
    EXPECT_TRUE(HasLine(netlist, "R1 vcc base 620000")) << netlist;
    EXPECT_TRUE(HasLine(netlist, "R2 base 0 200000")) << netlist;
    EXPECT_TRUE(HasLine(netlist, "R3 vcc collector 2000")) << netlist;
    EXPECT_TRUE(HasLine(netlist, "R4 emitter emitter2 200")) << netlist;
    EXPECT_TRUE(HasLine(netlist, "R5 emitter2 0 180")) << netlist;
    EXPECT_TRUE(HasLine(netlist, "C1 in base 6.8e-07")) << netlist;
    EXPECT_TRUE(HasLine(netlist, "C2 collector out 1.5e-05")) << netlist;
    EXPECT_TRUE(HasLine(netlist, "C3 emitter2 0 0.00033")) << netlist;
    EXPECT_TRUE(HasLine(netlist, "* T1: BC548B (NPN)")) << netlist;
    EXPECT_TRUE(HasLine(netlist, "Q1 collector base emitter BC548B")) << netlist;
    EXPECT_TRUE(HasLine(netlist, "RLOAD out 0 1e+12")) << netlist;
    EXPECT_TRUE(HasLineStarting(netlist, ".model BC548B NPN(")) << netlist;
    EXPECT_TRUE(HasLineStarting(netlist, ".options temp=25 tnom=25 ")) << netlist;
    EXPECT_TRUE(HasLine(netlist, ".temp 25")) << netlist;
    EXPECT_TRUE(HasLine(netlist, ".op")) << netlist;
    EXPECT_TRUE(HasLine(netlist, ".ac dec 50 0.01 1000000")) << netlist;
    EXPECT_FALSE(HasLineStarting(netlist, "IOUT")) << netlist;
}

TEST(Netlist, CommonEmitterWithoutBypassHasR4ToGround)
{
    const CommonEmitterDesign design = CommonEmitter(0);
    ASSERT_TRUE(design.IsWithoutBypass());
    const std::string netlist = WriteNetlist(design);
    EXPECT_TRUE(HasLine(netlist, "R4 emitter 0 2000")) << netlist;
    EXPECT_FALSE(HasLineStarting(netlist, "R5 ")) << netlist;
    EXPECT_FALSE(HasLineStarting(netlist, "C3 ")) << netlist;
    EXPECT_EQ(netlist.find("emitter2"), std::string::npos) << netlist;
    EXPECT_TRUE(HasLine(netlist, "R1 vcc base 180000")) << netlist;
    EXPECT_TRUE(HasLine(netlist, "R2 base 0 82000")) << netlist;
}

TEST(Netlist, CommonEmitterWithoutR4HasR5AndC3AtTheEmitter)
{
    // 60 dB is more than R3 / re: R4 comes out as 0.
    const CommonEmitterDesign design = CommonEmitter(60);
    ASSERT_EQ(design.Results().m_R4, 0.0);
    ASSERT_GT(design.Results().m_R5, 0.0);
    const std::string netlist = WriteNetlist(design);
    EXPECT_FALSE(HasLineStarting(netlist, "R4 ")) << netlist;
    EXPECT_TRUE(HasLineStarting(netlist, "R5 emitter 0 ")) << netlist;
    EXPECT_TRUE(HasLineStarting(netlist, "C3 emitter 0 ")) << netlist;
    EXPECT_TRUE(HasLine(netlist, "* R4 = 0: R5 and C3 sit at the emitter")) << netlist;
}

TEST(Netlist, PnpRunsFromANegativeSupply)
{
    const std::string netlist = WriteNetlist(CommonEmitter(20, "BC558B"));
    EXPECT_TRUE(Lines(netlist).front().find("T1 = BC558B (PNP), UB = -12 V") != std::string::npos) << netlist;
    EXPECT_TRUE(HasLine(netlist, "VCC vcc 0 DC -12")) << netlist;
    EXPECT_TRUE(HasLine(netlist, "Q1 collector base emitter BC558B")) << netlist;
    EXPECT_TRUE(HasLineStarting(netlist, ".model BC558B PNP(")) << netlist;
}

TEST(Netlist, CommonBase)
{
    CommonBaseDesign design;
    DesignInputs inputs(CircuitKind::CommonBase);
    design.Compute(inputs);
    const std::string netlist = WriteNetlist(design);
    EXPECT_TRUE(Lines(netlist).front().starts_with("* Norvane Common-Base circuit: T1 = BC548B (NPN)"))
        << netlist;
    EXPECT_TRUE(HasLine(netlist, "R1 emitter 0 390")) << netlist;
    EXPECT_TRUE(HasLine(netlist, "R2 vcc collector 2000")) << netlist;
    EXPECT_TRUE(HasLine(netlist, "R3 vcc base 620000")) << netlist;
    EXPECT_TRUE(HasLine(netlist, "R4 base 0 200000")) << netlist;
    EXPECT_TRUE(HasLine(netlist, "C1 in emitter 3.3e-07")) << netlist;
    EXPECT_TRUE(HasLine(netlist, "C2 collector out 1.5e-09")) << netlist;
    EXPECT_TRUE(HasLine(netlist, "C3 base 0 1e-09")) << netlist;
    EXPECT_TRUE(HasLine(netlist, "Q1 collector base emitter BC548B")) << netlist;
    EXPECT_TRUE(HasLine(netlist, ".ac dec 50 100 1e+10")) << netlist;
}

TEST(Netlist, CommonCollectorHasItsCollectorAtTheRail)
{
    CommonCollectorDesign design;
    DesignInputs inputs(CircuitKind::CommonCollector);
    design.Compute(inputs);
    const std::string netlist = WriteNetlist(design);
    EXPECT_TRUE(HasLine(netlist, "R1 vcc base 91000")) << netlist;
    EXPECT_TRUE(HasLine(netlist, "R2 base 0 110000")) << netlist;
    EXPECT_TRUE(HasLine(netlist, "R3 emitter 0 3000")) << netlist;
    EXPECT_TRUE(HasLine(netlist, "C1 in base 5.6e-07")) << netlist;
    EXPECT_TRUE(HasLine(netlist, "C2 emitter out 8.2e-06")) << netlist;
    EXPECT_TRUE(HasLine(netlist, "Q1 vcc base emitter BC548B")) << netlist;
    EXPECT_EQ(netlist.find("collector"), std::string::npos) << netlist;
}

TEST(Netlist, RealLoadReplacesTheOpenOutput)
{
    NetlistOptions options;
    options.m_LoadResistance = 4700;
    const std::string netlist = WriteNetlist(CommonEmitter(20), options);
    EXPECT_TRUE(HasLine(netlist, "RLOAD out 0 4700")) << netlist;
    EXPECT_EQ(netlist.find("No load"), std::string::npos) << netlist;

    options.m_LoadResistance = std::numeric_limits<double>::infinity();
    EXPECT_TRUE(HasLine(WriteNetlist(CommonEmitter(20), options), "RLOAD out 0 1e+12"));
}

TEST(Netlist, OutputDriveVariantShortsTheInputAndDrivesOut)
{
    NetlistOptions options;
    options.m_LoadResistance = 4700;
    options.m_DriveOutput = true;
    const std::string netlist = WriteNetlist(CommonEmitter(20), options);
    EXPECT_TRUE(HasLine(netlist, "VIN in 0 DC 0 AC 0")) << netlist;
    EXPECT_TRUE(HasLine(netlist, "IOUT 0 out DC 0 AC 1")) << netlist;
    // The output impedance is that of the stage alone.
    EXPECT_TRUE(HasLine(netlist, "RLOAD out 0 1e+12")) << netlist;
}

// Behind a source resistance VIN drives the node source, and in is the
// stage's input still; the output run keeps it, shorted through VIN.
TEST(Netlist, SourceResistanceSitsBetweenVinAndIn)
{
    NetlistOptions options;
    options.m_SourceResistance = 600;
    for (const bool output : {false, true}) {
        options.m_DriveOutput = output;
        const std::string netlist = WriteNetlist(CommonEmitter(20), options);
        EXPECT_TRUE(HasLine(netlist, std::string("VIN source 0 DC 0 AC ") + (output ? "0" : "1"))) << netlist;
        EXPECT_TRUE(HasLine(netlist, "RSOURCE source in 600")) << netlist;
    }
    EXPECT_EQ(WriteNetlist(CommonEmitter(20)).find("RSOURCE"), std::string::npos);
}

TEST(Netlist, PointsPerDecade)
{
    NetlistOptions options;
    options.m_PointsPerDecade = 20;
    EXPECT_TRUE(HasLine(WriteNetlist(CommonEmitter(20), options), ".ac dec 20 0.01 1000000"));
}

TEST(Netlist, EveryLineEndsWithALineFeedAlone)
{
    const std::string netlist = WriteNetlist(CommonEmitter(20));
    EXPECT_TRUE(netlist.ends_with(".end\n"));
    EXPECT_EQ(netlist.find('\r'), std::string::npos);
}

TEST(CheckCircuit, AcceptsTheExampleDesigns)
{
    EXPECT_TRUE(CheckCircuit(DescribeCircuit(CommonEmitter(0))).Ok());
    EXPECT_TRUE(CheckCircuit(DescribeCircuit(CommonEmitter(20, "BC558B"))).Ok());
    CommonBaseDesign base;
    DesignInputs inputs(CircuitKind::CommonBase);
    base.Compute(inputs);
    EXPECT_TRUE(CheckCircuit(DescribeCircuit(base)).Ok());
    CommonCollectorDesign collector;
    collector.Compute(DesignInputs(CircuitKind::CommonCollector));
    EXPECT_TRUE(CheckCircuit(DescribeCircuit(collector)).Ok());
}

TEST(CheckCircuit, NamesAValueThatCannotBeSimulated)
{
    AmplifierCircuit circuit = DescribeCircuit(CommonEmitter(20));
    circuit.m_Parts[1].m_Value = std::numeric_limits<double>::infinity();
    EXPECT_EQ(CheckCircuit(circuit).Message(), "R2 is not a positive finite value (inf)");
    circuit.m_Parts[1].m_Value = 0;
    EXPECT_EQ(CheckCircuit(circuit).Message(), "R2 is not a positive finite value (0)");
}

TEST(Netlist, DesignThatCannotBeBuiltSaysSo)
{
    // 0.8 V of supply leaves no room for the operating point.
    CommonEmitterDesign design;
    DesignInputs inputs(CircuitKind::CommonEmitter);
    inputs.SetValue(InputField::SupplyVoltage, 0.8);
    design.Compute(inputs);
    ASSERT_FALSE(design.IsUsable());
    const auto lines = Lines(WriteNetlist(design));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1], "* The design cannot be built: " + design.Problem());
}

// A value as SPICE reads it: a number, then an optional scale factor,
// where "M" is milli and "MEG" mega; NaN for anything else.
double ReadSpiceValue(const std::string& text)
{
    double number = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc()) {
        return std::nan("");
    }
    std::string suffix(end, text.data() + text.size());
    std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    static const std::map<std::string, double> scale = {{"", 1.0},    {"T", 1e12}, {"G", 1e9},  {"MEG", 1e6},
                                                        {"K", 1e3},   {"M", 1e-3}, {"U", 1e-6}, {"N", 1e-9},
                                                        {"P", 1e-12}, {"F", 1e-15}};
    const auto found = scale.find(suffix);
    return found == scale.end() ? std::nan("") : number * found->second;
}

// A common-base stage for 10 k of output impedance biases its base through
// megohms (R3 3 M, R4 1 M): every part line, read back as SPICE reads it,
// gives the design's own value. A writer that used SPICE's "M" (milli)
// for mega would be off by 1e9.
TEST(Netlist, EveryValueReadsBackAsTheDesignsValue)
{
    CommonBaseDesign design;
    DesignInputs inputs(CircuitKind::CommonBase);
    inputs.SetValue(InputField::OutputImpedance, 10e3);
    design.Compute(inputs);
    ASSERT_TRUE(design.IsUsable()) << design.Problem();
    std::map<std::string, double> designed;
    for (const NamedValue& part : design.ComponentNumbers()) {
        designed[part.first] = part.second;
    }
    ASSERT_GE(designed["R3"], 1e6);
    std::size_t checked = 0;
    for (const std::string& line : Lines(WriteNetlist(design))) {
        std::istringstream fields(line);
        std::string name, a, b, value;
        fields >> name >> a >> b >> value;
        if (!designed.contains(name)) {
            continue;
        }
        EXPECT_NEAR(ReadSpiceValue(value), designed[name], 1e-14 * designed[name]) << line;
        ++checked;
    }
    EXPECT_EQ(checked, designed.size());
}

// The desktop program runs in the user's locale, where printf would write
// "1,5e-06". The netlist is the same text in a decimal-comma locale as in
// the C locale. (scripts/install-deps.sh generates de_DE.UTF-8.)
TEST(Netlist, IsTheSameTextInADecimalCommaLocale)
{
    CommonBaseDesign design;
    DesignInputs inputs(CircuitKind::CommonBase);
    design.Compute(inputs);
    const std::string inC = WriteNetlist(design);
    const std::string missingLocale = norvane::test::SwitchToDecimalCommaLocale();
    ASSERT_TRUE(missingLocale.empty()) << missingLocale;
    char probe[16];
    std::snprintf(probe, sizeof probe, "%g", 1.5);
    const std::string inGerman = WriteNetlist(design);
    std::setlocale(LC_ALL, "C");
    ASSERT_EQ(std::string(probe), "1,5");
    EXPECT_EQ(inGerman, inC);
    EXPECT_TRUE(HasLine(inGerman, "C1 in emitter 3.3e-07")) << inGerman;
}

} // namespace
} // namespace norvane
