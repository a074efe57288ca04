// Bad inputs through the two commands: each gives its message and code, no input changes, and
// a failure changes no file.
#include "bad_inputs.h"

#include "engine/commands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <tuple>

using namespace mergon;

namespace {

// Runs with `folder` as the current folder, so that typed output names are relative to it.
struct InFolder {
    explicit InFolder(const std::filesystem::path &folder) {
        std::filesystem::current_path(folder);
    }
    ~InFolder() { std::filesystem::current_path(saved); }
    std::filesystem::path saved = std::filesystem::current_path();
};

TEST(BadInputs, EachGivesItsMessageAndCodeAndAFailureChangesNoFile) {
    bad_inputs::forEachCase(
        [](const bad_inputs::Case &c, const bad_inputs::Prepared &p, const TempDir &dir) {
            bad_inputs::Unprivileged unprivileged(c.unprivileged());
            InFolder inFolder(dir.root);

            bad_inputs::Added a = bad_inputs::addAll(c.inputs, p.inputs);
            TextFile file;
            MeanCurve mean;
            const MeanOptions options{.statisticsPath =
                                          c.statistics.empty() ? "" : dir.file(c.statistics)};
            const Status status =
                a.status.ok() ? writeMean(a.session, file,
                                          c.output.empty() ? a.session.outputFileName : c.output,
                                          c.divisions, mean, {}, options)
                              : a.status;

            // The message on a failure, none and the output file's bytes on a success.
            const std::string text =
                status.message() + (status.ok() ? readBytes(dir.file(c.output)) : "");
            EXPECT_EQ(
                std::tuple(a.failingInput, status.code(), text, status.subject(), file.isOpen()),
                std::tuple(c.failingInput, c.code, c.expected, p.subject, false));
            return status.code();
        },
        false);
}

} // namespace
