// Every committed fuzz input (fuzz/corpus/<target>/: the seeds and the
// crashes found) through its target's entry function, in every build: an
// input that once crashed a target must not crash it again.

#include "FuzzTargets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

namespace {

using norvane::fuzz::Bytes;

void RunCorpus(const char* target, void (*entry)(Bytes))
{
    const std::filesystem::path folder = std::filesystem::path(NORVANE_FUZZ_CORPUS_DIR) / target;
    std::vector<std::filesystem::path> inputs;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        inputs.push_back(entry.path());
    }
    std::ranges::sort(inputs);
    ASSERT_FALSE(inputs.empty()) << folder;
    for (const std::filesystem::path& input : inputs) {
        std::ifstream in(input, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        // Named first: a crash ends the program before any assertion speaks.
        std::cout << "input " << input.filename().string() << std::endl;
        entry(bytes);
    }
}

TEST(FuzzCorpus, Engineering)
{
    RunCorpus("engineering", norvane::fuzz::FuzzEngineering);
}
TEST(FuzzCorpus, ReportReader)
{
    RunCorpus("reportreader", norvane::fuzz::FuzzReportReader);
}
TEST(FuzzCorpus, TransistorLib)
{
    RunCorpus("transistorlib", norvane::fuzz::FuzzTransistorLibReader);
}

TEST(FuzzCorpus, CommandLine)
{
    // Moves this test's process into a scratch folder of its own.
    norvane::fuzz::PrepareCommandLineScratch();
    RunCorpus("commandline", norvane::fuzz::FuzzCommandLine);
}

} // namespace
