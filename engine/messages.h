#pragma once
// The fixed texts of the two failure messages, each closed by the failure's code.

#include <string>

namespace mergon {

// "Data File Open" failed reading or measuring a file.
inline std::string additionFailureText(int code) {
    return "This file includes error data or you may mistake column or skip indication. (" +
           std::to_string(code) + ")";
}

// "Write to File" found that the output file cannot be replaced.
inline std::string probeFailureText(int code) {
    return "This output data file has been opened by another application. (" +
           std::to_string(code) + ")";
}

// "Write to File" was asked to write over one of its input files.
inline std::string outputIsInputText(int code) {
    return "The output file is one of the input files; choose another output file name. (" +
           std::to_string(code) + ")";
}

// The statistics table was to be written over an input file or the output file.
inline std::string statisticsOverwriteText(int code) {
    return "The statistics file is one of the input files or the output file; choose another "
           "name for it. (" +
           std::to_string(code) + ")";
}

// The picture was to be drawn over an input file or another output.
inline std::string figureOverwriteText(int code) {
    return "The picture file is one of the input files or another output file; choose another "
           "name for it. (" +
           std::to_string(code) + ")";
}

// A column named on the command line is not on the last header line of the file, or is on it
// more than once.
inline std::string columnNameText(const std::string &name, const std::string &path, bool missing,
                                  int code) {
    return "The column name \"" + name + "\" is " + (missing ? "not " : "") +
           "on the last header line of " + path + (missing ? "" : " more than once") + ". (" +
           std::to_string(code) + ")";
}

// Any other failure: its own sentence, then the code.
inline std::string failureText(const std::string &message, int code) {
    return message + " (" + std::to_string(code) + ")";
}

} // namespace mergon
