#include "engine/header_names.h"

#include "engine/text_bytes.h"

#include <algorithm>

namespace mergon {

std::vector<std::string> headerNames(std::string_view line, const ReadingRules &rules) {
    std::vector<std::string> names;
    std::size_t i = 0;
    const auto skipLineBlanks = [&] {
        while (i < line.size() && isBlank(static_cast<unsigned char>(line[i])))
            ++i;
    };
    for (;;) {
        skipLineBlanks();
        std::string name;
        while (i < line.size() && !isBlank(static_cast<unsigned char>(line[i])) &&
               line[i] != rules.separator) {
            if (line[i] != '"') {
                name += line[i++];
                continue;
            }
            // An unclosed quote runs to the line end, as in the data.
            const std::size_t close = std::min(line.find('"', i + 1), line.size());
            name.append(line.substr(i + 1, close - i - 1));
            i = std::min(close + 1, line.size());
        }
        names.push_back(std::move(name));
        // After a name: blanks, then one separator (a name follows it, if only an empty one)
        // or the line end.
        skipLineBlanks();
        if (i == line.size())
            return names;
        if (line[i] == rules.separator)
            ++i;
    }
}

} // namespace mergon
