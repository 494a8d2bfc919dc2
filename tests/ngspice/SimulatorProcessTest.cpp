// The simulator as a user's process meets it: the real norvane-cli binary,
// started in a folder of the test's own, with the environment the test
// gives it.

#include "support/ShellCommand.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

using CliResult = norvane::test::CommandResult;
using norvane::test::ShellQuote;

void WriteFile(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

// A scratch folder, removed with its contents at the end of the test.
class Scratch {
public:
    Scratch()
    {
        std::string pattern = (fs::temp_directory_path() / "norvane-sim-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            m_Path = pattern;
        }
    }
    ~Scratch() { fs::remove_all(m_Path); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    const fs::path& Path() const { return m_Path; }

private:
    fs::path m_Path;
};

// Runs norvane-cli in folder with the environment assignments given
// ("NAME=value") added.
CliResult RunCli(const fs::path& folder, const std::vector<std::string>& environment,
                 const std::vector<std::string>& arguments)
{
    std::string command = "cd " + ShellQuote(folder.string()) + " && env";
    for (const std::string& assignment : environment) {
        command += ' ' + ShellQuote(assignment);
    }
    command += ' ' + ShellQuote(NORVANE_CLI_PATH);
    for (const std::string& argument : arguments) {
        command += ' ' + ShellQuote(argument);
    }
    return norvane::test::RunShellCommand(command);
}

// Start-up files that would run commands, in every place ngspice looks
// for them: the current folder, $HOME, and the spinit folders that
// SPICE_LIB_DIR and SPICE_SCRIPTS name. None runs; the JSON on stdout
// stays clean. (ngspice 39 takes the home folder from the passwd entry,
// not from $HOME, and reads it only when the current folder has no
// .spiceinit: the simulator always starts ngspice in a folder that has an
// empty one, so the current-folder case covers it.)
TEST(StartupFiles, AreNeverRun)
{
    const Scratch scratch;
    const fs::path work = scratch.Path() / "work";
    const fs::path home = scratch.Path() / "home";
    const fs::path witness = scratch.Path() / "pwned";
    for (const fs::path& file :
         {work / ".spiceinit", home / ".spiceinit", scratch.Path() / "lib/scripts/spinit",
          scratch.Path() / "scripts/spinit", work / "spinit"}) {
        WriteFile(file, "shell touch " + witness.string() + "-" + file.parent_path().filename().string() +
                            "\nshell echo ran " + file.string() + "\necho said " + file.string() + "\n");
    }
    const fs::path tmp = scratch.Path() / "tmp";
    fs::create_directories(tmp);
    const CliResult r = RunCli(work,
                               {"HOME=" + home.string(), "TMPDIR=" + tmp.string(),
                                "SPICE_LIB_DIR=" + (scratch.Path() / "lib").string(),
                                "SPICE_SCRIPTS=" + (scratch.Path() / "scripts").string()},
                               {"design", "ce", "--gain", "20", "--simulate", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto document = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_FALSE(document.is_discarded()) << r.out;
    EXPECT_EQ(document["simulation"]["status"], "simulated") << r.out;
    for (const auto& entry : fs::directory_iterator(scratch.Path())) {
        EXPECT_FALSE(entry.path().filename().string().starts_with("pwned")) << entry.path();
    }
    for (const std::string& output : {r.out, r.err}) {
        EXPECT_EQ(output.find("ran "), std::string::npos) << output;
        EXPECT_EQ(output.find("said "), std::string::npos) << output;
    }
    // The private start-up folder, made under $TMPDIR, is gone again.
    EXPECT_TRUE(fs::is_empty(tmp));
}

// A TMPDIR that does not exist leaves the simulation to the next folder
// that works (the runtime folder, then /tmp), not turned off.
TEST(StartupFiles, FolderFallsBackWhenTmpdirIsMissing)
{
    const Scratch scratch;
    const fs::path runtime = scratch.Path() / "runtime";
    fs::create_directories(runtime);
    const CliResult r = RunCli(scratch.Path(), {"TMPDIR=/nonexistent", "XDG_RUNTIME_DIR=" + runtime.string()},
                               {"design", "ce", "--simulate", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto document = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_FALSE(document.is_discarded()) << r.out;
    EXPECT_EQ(document["simulation"]["status"], "simulated") << r.out;
    EXPECT_TRUE(fs::is_empty(runtime));
}

// Without ngspice's library the CLI designs as before and says so where a
// simulation was asked for. NORVANE_NGSPICE_LIBRARY names the library file
// to load; here a file that does not exist, as on a system without
// libngspice0.
TEST(MissingLibrary, DesignWorksAndSimulationSaysItIsUnavailable)
{
    const Scratch scratch;
    const std::string missing =
        "NORVANE_NGSPICE_LIBRARY=" + (scratch.Path() / "none/libngspice.so.0").string();
    const std::string unavailable = "simulation unavailable: ngspice's shared library was not found";

    const CliResult plain = RunCli(scratch.Path(), {missing}, {"design", "ce"});
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.out, RunCli(scratch.Path(), {}, {"design", "ce"}).out);

    const CliResult text = RunCli(scratch.Path(), {missing}, {"design", "ce", "--simulate"});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("\nSimulation:\n" + unavailable + "\n"), std::string::npos) << text.out;

    const CliResult json = RunCli(scratch.Path(), {missing}, {"design", "cc", "--simulate", "--json"});
    EXPECT_EQ(json.status, 0) << json.err;
    const auto document = nlohmann::json::parse(json.out, nullptr, false);
    ASSERT_FALSE(document.is_discarded()) << json.out;
    EXPECT_EQ(document["simulation"]["simulated"], false);
    EXPECT_EQ(document["simulation"]["status"], unavailable);

    const CliResult bode = RunCli(scratch.Path(), {missing}, {"design", "cb", "--bode", "b.csv"});
    EXPECT_EQ(bode.status, 1);
    EXPECT_EQ(bode.err, "No Bode diagram: " + unavailable + ".\n");

    // A file that is there but no library says so; a FIFO is never waited
    // for.
    ASSERT_EQ(::mkfifo((scratch.Path() / "fifo").c_str(), 0600), 0);
    for (const std::string& named : {std::string("/etc/passwd"), (scratch.Path() / "fifo").string()}) {
        const CliResult other =
            RunCli(scratch.Path(), {"NORVANE_NGSPICE_LIBRARY=" + named}, {"design", "ce", "--simulate"});
        EXPECT_NE(other.out.find("simulation unavailable: \"" + named +
                                 "\" (NORVANE_NGSPICE_LIBRARY) is not a shared library\n"),
                  std::string::npos)
            << other.out;
    }
}

// The dynamic loader reports every library it opens (LD_DEBUG=files):
// libngspice only when a simulation is asked for.
TEST(LoadedWhenNeeded, OnlyForASimulation)
{
    const Scratch scratch;
    const CliResult design = RunCli(scratch.Path(), {"LD_DEBUG=files"}, {"design", "ce"});
    EXPECT_EQ(design.status, 0);
    EXPECT_EQ(design.err.find("libngspice"), std::string::npos) << design.err;
    const CliResult simulated = RunCli(scratch.Path(), {"LD_DEBUG=files"}, {"design", "ce", "--simulate"});
    EXPECT_EQ(simulated.status, 0);
    EXPECT_NE(simulated.err.find("libngspice"), std::string::npos) << simulated.err;
}

} // namespace
