#include "cli/CommandLine.h"

#include "cli/DesignCommand.h"
#include "cli/DesignOptions.h"
#include "cli/OptionValues.h"
#include "cli/RankOutput.h"
#include "cli/TransistorCommands.h"
#include "common/Version.h"
#include "design/DesignInputs.h"
#include "format/EngineeringFormat.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <sstream>
#include <string_view>
#include <system_error>
#include <vector>

namespace norvane::cli {

namespace {

int RunCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err, bool errIsTerminal)
{

    CLI::App app{"Norvane: design of single-stage bipolar transistor amplifiers", "norvane-cli"};
    app.set_version_flag("--version", std::string("norvane-cli ") + ProgramVersion);
    app.require_subcommand(1);
    // Building every command's options costs more than a design does, so a
    // command gets its options only when the arguments name it (a word that
    // merely looks like a name costs a few options more, nothing else).
    const auto named = [&](std::string_view word) {
        return std::any_of(argv + 1, argv + argc, [&](const char* argument) { return word == argument; });
    };
    const auto namedCircuit = [&](const CircuitInfo& circuit) {
        return named(circuit.command) || named(circuit.alias);
    };

    // design <circuit> [requirements], or design --from REPORT [requirements]
    CLI::App* designCommand = app.add_subcommand(
        "design", "Design an amplifier and print the result; with --from and no circuit, the "
                  "circuit of the report");
    designCommand->require_subcommand(0, 1);
    DesignOptions designOptions;
    std::optional<CircuitKind> chosenCircuit;
    // Every field on the bare command, for --from; the circuit's own on each.
    std::vector<CircuitField> allFields;
    for (std::size_t f = 0; f < InputFieldCount; ++f) {
        allFields.push_back({static_cast<InputField>(f), 0.0, 0});
    }
    // The bare command's options serve --from without a circuit; after a
    // circuit, its own take over.
    const bool circuitNamed = std::ranges::any_of(AllCircuits(), namedCircuit);
    if (named("design") && !circuitNamed) {
        AddDesignOptions(*designCommand, allFields, designOptions);
    }
    for (const CircuitInfo& circuit : AllCircuits()) {
        if (!named("design")) {
            break;
        }
        CLI::App* command = designCommand->add_subcommand(circuit.command, circuit.description);
        command->alias(circuit.alias);
        if (namedCircuit(circuit)) {
            AddDesignOptions(*command, circuit.dialogOrder, designOptions);
        }
        command->callback([&chosenCircuit, kind = circuit.kind] { chosenCircuit = kind; });
    }

    // rank <circuit> [requirements]
    CLI::App* rankCommand = app.add_subcommand(
        "rank", "Rank every built-in transistor type for a circuit's requirements: design with "
                "each, simulate the best, and list them");
    rankCommand->require_subcommand(1);
    DesignOptions rankRequirements;
    RankCliOptions rankOptions;
    std::optional<CircuitKind> rankCircuit;
    for (const CircuitInfo& circuit : AllCircuits()) {
        if (!named("rank")) {
            break;
        }
        CLI::App* command = rankCommand->add_subcommand(circuit.command, circuit.description);
        command->alias(circuit.alias);
        if (namedCircuit(circuit)) {
            AddRequirementOptions(*command, circuit.dialogOrder, false, rankRequirements);
            AddRankOptions(*command, rankOptions);
        }
        command->callback([&rankCircuit, kind = circuit.kind] { rankCircuit = kind; });
    }

    bool listJson = false;
    CLI::App* listCommand = app.add_subcommand("transistors", "List the built-in transistor types");
    listCommand->add_flag("--json", listJson, "Print as JSON");

    std::string recordName;
    bool recordJson = false;
    CLI::App* recordCommand = app.add_subcommand("transistor", "Print the model card of a transistor type");
    recordCommand->add_option("NAME", recordName, "Transistor type")->required();
    recordCommand->add_flag("--json", recordJson, "Print as JSON");

    std::string modelName, icText, vceText;
    bool modelJson = false;
    CLI::App* modelCommand =
        app.add_subcommand("model", "Solve the DC model of a transistor at an operating point");
    modelCommand->add_option("NAME", modelName, "Transistor type")->required();
    modelCommand->add_option("--ic", icText, "Collector current in A")
        ->required()
        ->check(NotAnOption())
        ->transform(QuantityValue("A"));
    modelCommand->add_option("--vce", vceText, "Collector-emitter voltage in V")
        ->required()
        ->check(NotAnOption())
        ->transform(QuantityValue("V"));
    modelCommand->add_flag("--json", modelJson, "Print as JSON");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        // Help of the innermost command that was named.
        const CLI::App* shown = &app;
        for (CLI::App* sub = &app; sub != nullptr;) {
            const auto chosen = sub->get_subcommands();
            sub = chosen.empty() ? nullptr : chosen.front();
            if (sub != nullptr) {
                shown = sub;
            }
        }
        out << shown->help();
        return ExitOk;
    } catch (const CLI::CallForVersion&) {
        out << app.version() << '\n';
        return ExitOk;
    } catch (const CLI::ParseError& error) {
        err << error.what() << '\n';
        err << "Run with --help for more information.\n";
        return ExitBadInput;
    }

    const auto command = [&]() -> Status {
        if (designCommand->parsed()) {
            return RunDesign(chosenCircuit, designOptions, out, err, errIsTerminal);
        }
        if (rankCommand->parsed()) {
            const Expected<DesignInputs> inputs = GatherInputs(rankCircuit, rankRequirements);
            return inputs ? RunRank(*inputs, rankOptions, out) : inputs.AsStatus();
        }
        if (listCommand->parsed()) {
            return RunTransistors(listJson, out);
        }
        if (recordCommand->parsed()) {
            return RunTransistor(recordName, recordJson, out);
        }
        if (modelCommand->parsed()) {
            return RunModel(modelName, icText, vceText, modelJson, out);
        }
        return Refused("no command");
    };
    const Status outcome = command();
    if (!outcome) {
        err << outcome.Message() << '\n';
    }
    return ExitStatusOf(outcome);
}

} // namespace

int Run(int argc, const char* const* argv, std::ostream& out, std::ostream& err, bool errIsTerminal)
{
    UseEnglishNumberFormat();
    // The output is gathered and written at once, so that a write that
    // fails (a full disk, a closed pipe) is the last thing done and errno
    // still says why: a long output (rank, transistors) failed while it
    // was printed, and the reason was lost by the end.
    std::ostringstream gathered;
    gathered.imbue(out.getloc());
    const int status = RunCommand(argc, argv, gathered, err, errIsTerminal);
    // Output that did not arrive is a failure.
    errno = 0;
    out << gathered.view();
    out.flush();
    if (!out) {
        const int error = errno;
        err << "Cannot write the output"
            << (error != 0 ? ": " + std::generic_category().message(error) : std::string()) << ".\n";
        return ExitFailure;
    }
    return status;
}

} // namespace norvane::cli
