// Compares what zendrel saves with what Python's email package, an independent MIME decoder, makes of the same files.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "corpus.h"
#include "program_runner.h"
#include "test_files.h"

namespace zendrel::testsupport {
namespace {

namespace fs = std::filesystem;

const fs::path kProgram = ZENDREL_PROGRAM;
const std::string kPython = ZENDREL_PYTHON3;
const fs::path kEmailPackageExtractor = ZENDREL_EMAIL_PACKAGE_EXTRACTOR;

class CrossCheckWithEmailPackage : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        if (kPython.empty()) GTEST_SKIP() << "python3 was not found when the build was configured";
    }
};

TEST_P(CrossCheckWithEmailPackage, SavesTheSameFiles) {
    const std::string message = MessageFile(GetParam()).string();
    const TemporaryFolder work;
    ASSERT_TRUE(work.Created());
    const fs::path scratch = work.MakeFolder("scratch");
    const fs::path byZendrel = work.MakeFolder("zendrel");
    const fs::path byPython = work.MakeFolder("python");

    const ProgramResult zendrel =
        RunProgramFile(kProgram, {"--extract", "--to", byZendrel.string() + "/", message}, work.Path(), scratch);
    ASSERT_EQ(zendrel.exitCode, 0) << zendrel.err;
    const ProgramResult python = RunProgramFile(
        kPython, {kEmailPackageExtractor.string(), byPython.string(), message}, work.Path(), scratch);
    ASSERT_EQ(python.exitCode, 0) << python.err;

    EXPECT_TRUE(SameFiles(FilesIn(byZendrel), FilesIn(byPython)));
}

INSTANTIATE_TEST_SUITE_P(Corpus, CrossCheckWithEmailPackage, ::testing::ValuesIn(CorpusStems()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
}  // namespace zendrel::testsupport
