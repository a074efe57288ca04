#include "workbench/batch_command.h"

#include "engine/setting_value.h"

#include <algorithm>
#include <charconv>
#include <cmath>

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

// A box's text as the clean number the window took from it, which the batch reads strictly:
// the rounded whole number for a count or column, else the shortest text of the double read,
// which reads back to that double and so to the same float.
std::string valueText(const std::string &boxText, bool whole) {
    const double value = leadingNumber(boxText);
    if (whole) {
        const std::optional<int32_t> count = toCount(value, kWindowLimits.maxCount);
        return count ? std::to_string(*count) : boxText; // a count that does not fit fails alike
    }
    if (!std::isfinite(value))
        return boxText;
    char digits[32];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
    return error == std::errc() ? std::string(digits, end) : boxText;
}

// The options that take `next` from `current`, the settings the batch holds so far.
void appendSettings(std::string &line, const SettingTexts &current, const SettingTexts &next) {
    struct Text {
        const char *option;
        std::string SettingTexts::*value;
        bool whole;
    };
    for (const Text &text : {Text{"--x-column", &SettingTexts::xColumn, true},
                             Text{"--y-column", &SettingTexts::yColumn, true},
                             Text{"--x-coefficient", &SettingTexts::xCoefficient, false},
                             Text{"--y-coefficient", &SettingTexts::yCoefficient, false},
                             Text{"--skip-lines", &SettingTexts::skipLines, true},
                             Text{"--weight", &SettingTexts::yWeight, false}}) {
        const std::string value = valueText(next.*text.value, text.whole);
        if (value != valueText(current.*text.value, text.whole))
            line += ' ' + std::string(text.option) + ' ' + shellWord(value);
    }
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
    line += " --divisions " + shellWord(valueText(command.divisions, true));
    line += " --output " + shellWord(command.output);
    if (command.range == GridRange::kUnion)
        line += " --range union";
    line += " --band " + std::string(bandName(command.band));
    return line;
}

} // namespace mergon
