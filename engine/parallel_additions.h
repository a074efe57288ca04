#pragma once
// "Add an input file" for many files at once, as a program that reads every file once
// (mergon-batch) runs it: the files are measured, read and converted on several threads, and
// joined to the session in their order.

#include "engine/averaging.h"
#include "engine/input_files.h"
#include "engine/session.h"
#include "engine/status.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace mergon {

struct InputFile {
    std::string path;
    SettingTexts settings;
};

// Adds `inputs` in their order as takeNextSlot and addInputFile under `limits` would one after
// another, on up to `jobs` threads: the session, the rows kept (one entry per curve) and the
// failure returned are the same for every `jobs`. Each file is read into its own scratch
// session; the scratch sessions join the session in file order, each widening the plot range
// by its own, which gives the range the rows give one by one (a float rounded from the largest
// or smallest double, whichever order they come in). `afterEach(i)` runs once input i has
// joined, in order. At a failure the files before it and the failing one have joined (as the
// one-by-one additions leave them) and no later one has; later files may have been read.
// The rows take their memory from `rowMemory` when one is given, which must outlive them.
Status addInputFiles(Session &session, const std::vector<InputFile> &inputs, const Limits &limits,
                     int jobs, RowsBySlot &kept,
                     const std::function<void(std::size_t)> &afterEach = {},
                     PageArena *rowMemory = nullptr);

} // namespace mergon
