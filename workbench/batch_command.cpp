#include "workbench/batch_command.h"

#include <algorithm>

namespace mergon {

namespace {

bool takenLiterally(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("%+,-./:=@_").find(c) != std::string_view::npos;
}

const char *bandName(BandKind band) {
    switch (band) {
    case BandKind::kSd:
        return "sd";
    case BandKind::kSe:
        return "se";
    case BandKind::kCi:
        return "ci";
    case BandKind::kNone:
        break;
    }
    return "none";
}

// The options that take `next` from `current`, the settings the batch holds so far.
void appendSettings(std::string &line, const SettingTexts &current, const SettingTexts &next) {
    struct Text {
        const char *option;
        std::string SettingTexts::*value;
    };
    for (const Text &text :
         {Text{"--x-column", &SettingTexts::xColumn}, Text{"--y-column", &SettingTexts::yColumn},
          Text{"--x-coefficient", &SettingTexts::xCoefficient},
          Text{"--y-coefficient", &SettingTexts::yCoefficient},
          Text{"--skip-lines", &SettingTexts::skipLines}, Text{"--weight", &SettingTexts::yWeight}})
        if (next.*text.value != current.*text.value)
            line += ' ' + std::string(text.option) + ' ' + shellWord(next.*text.value);
}

} // namespace

std::string shellWord(std::string_view word) {
    if (!word.empty() && std::all_of(word.begin(), word.end(), takenLiterally))
        return std::string(word);
    std::string quoted = "'";
    for (char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string batchCommandLine(const BatchCommand &command) {
    std::string line = "mergon-batch";
    SettingTexts current;
    for (const BatchFile &file : command.files) {
        appendSettings(line, current, file.settings);
        current = file.settings;
        // A path that starts with "-" would read as an option.
        line += ' ' + shellWord(file.path.starts_with('-') ? "./" + file.path : file.path);
    }
    line += " --divisions " + shellWord(command.divisions);
    line += " --output " + shellWord(command.output);
    if (command.range == GridRange::kUnion)
        line += " --range union";
    line += " --band " + std::string(bandName(command.band));
    return line;
}

} // namespace mergon
