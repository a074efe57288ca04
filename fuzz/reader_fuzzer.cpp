// Fuzzes the counting passes and readCurve on arbitrary bytes with arbitrary settings, and
// checks that every way of reading gives exactly what the field-by-field reading gives: the
// normal read buffer, a tiny and a middling one, whole-file reading, the one sweep that counts
// and reads at once, and every lane of the word scan beside the best one. Under other reading
// rules than the default, the file must read exactly as the default rules read it with the
// punctuation exchanged (separator for comma, decimal mark for point), which holds the
// field-by-field way of the other rules against the default's fast lanes.
//
// Input: 8 bytes of settings, then the file's bytes.

#include "engine/header_names.h"
#include "engine/plain_lines.h"
#include "engine/reader.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

using namespace mergon;

namespace {

[[noreturn]] void fail(const char *what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition))                                                                          \
            fail(#condition);                                                                      \
    } while (0)

// Scratch files per process, reused for every input.
struct Scratch {
    explicit Scratch(const char *name)
        : path((std::filesystem::temp_directory_path() /
                ("mergon_reader_fuzz_" + std::to_string(::getpid()) + name))
                   .string()) {}
    const std::string path;
    ~Scratch() { std::remove(path.c_str()); }
    void write(const uint8_t *data, size_t size) const {
        std::FILE *f = std::fopen(path.c_str(), "wb");
        CHECK(f != nullptr);
        CHECK(size == 0 || std::fwrite(data, 1, size, f) == size);
        CHECK(std::fclose(f) == 0);
    }
};

// Handles live across inputs, one per buffer size: reopening must leave nothing behind.
TextFile &handle(size_t bufferSize, int which = 0) {
    static std::map<std::pair<size_t, int>, std::unique_ptr<TextFile>> handles;
    std::unique_ptr<TextFile> &h = handles[{bufferSize, which}];
    if (!h)
        h = std::make_unique<TextFile>(bufferSize);
    return *h;
}

// Buffer size 0 stands for whole-file reading.
constexpr size_t kWhole = 0;
TextFile &wholeFileHandle() {
    static TextFile whole(TextFile::Reading::Whole);
    return whole;
}
TextFile &reader(size_t bufferSize) {
    return bufferSize == kWhole ? wholeFileHandle() : handle(bufferSize);
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The rules under test: mostly the default; the others with their exchange of punctuation
// into the default's (the separator becomes a comma, the decimal mark a point, and the
// characters they displace take their places).
const ReadingRules kRules[] = {{}, {'.', ';'}, {',', ';'}, {}};

char toDefault(char c, const ReadingRules &rules) {
    if (rules.decimalMark == ',') // , -> .  ; -> ,  . -> ;
        return c == ',' ? '.' : c == ';' ? ',' : c == '.' ? ';' : c;
    if (rules.separator == ';') // ; <-> ,
        return c == ';' ? ',' : c == ',' ? ';' : c;
    return c;
}

std::string translated(const uint8_t *data, size_t size, const ReadingRules &rules) {
    std::string out(reinterpret_cast<const char *>(data), size);
    for (char &c : out)
        c = toDefault(c, rules);
    return out;
}

const float kFactors[] = {1.0f, 2.0f, 0.1f, -3.5f, 0.0f, 1e30f, -1e-30f, 1.7f};

struct Measured {
    int code = 0;
    FileMeasure m;
};

Measured measure(const std::string &path, int skip, const ReadingRules &rules, size_t bufferSize) {
    TextFile &file = reader(bufferSize);
    Measured r;
    r.code = measureFile(file, path, skip, rules, r.m).code();
    CHECK(!file.isOpen());
    return r;
}

// The two passes as separate reads: lines by whole lines, then fields.
Measured twoPasses(const std::string &path, int skip, const ReadingRules &rules,
                   size_t bufferSize) {
    TextFile &file = handle(bufferSize);
    file.setRules(rules);
    Measured r;
    const auto open = [&] {
        r.code = file.openForReading(path).code();
        for (int i = 0; i < skip && r.code == 0; ++i)
            r.code = file.skipLine().code();
        return r.code == 0;
    };
    if (!open())
        return r;
    if (file.atEnd()) {
        r.code = kPastEnd;
        return r;
    }
    // Comment lines (first item starting with '#') are no data lines.
    int64_t lines = 0;
    std::string line;
    do {
        r.code = file.readLine(line).code();
        const size_t first = line.find_first_not_of(" \t");
        if (first != std::string::npos && line[first] == '#')
            continue;
        if (++lines > kMaxCount) {
            r.code = kTooLarge;
            return r;
        }
    } while (r.code == 0 && !file.atEnd());
    if (r.code != 0 || !open())
        return r;
    int64_t fields = 0;
    Field field;
    do {
        ++fields;
        r.code = file.readField(field, false).code();
    } while (r.code == 0 && !file.atEnd());
    if (r.code != 0)
        return r;
    r.code = file.close().code();
    const int64_t q = fields / lines, twiceRest = 2 * (fields % lines);
    const int64_t perLine = q + (twiceRest > lines || (twiceRest == lines && q % 2 != 0));
    r.m.lineCount = static_cast<int32_t>(lines);
    r.m.fieldCount = fields;
    if (perLine > kMaxCount) {
        r.code = kTooLarge;
        return r;
    }
    r.m.fieldsPerLine = static_cast<int32_t>(perLine);
    return r;
}

struct CurveRead {
    int code = 0;
    Rows rows;
    int delivered = 0;
};

CurveRead read(const CurveSettings &settings, size_t bufferSize) {
    TextFile &file = reader(bufferSize);
    CurveRead c;
    c.code = readCurve(file, settings, c.rows, [&](int i, const Row &row) {
                 CHECK(i == c.delivered + 1);
                 CHECK(i >= 1 && i < static_cast<int>(c.rows.size()));
                 CHECK(sameBits(row.x, c.rows[i].x) && sameBits(row.y, c.rows[i].y));
                 ++c.delivered;
                 return Status::success();
             }).code();
    CHECK(c.code == 0 || c.code == kPastEnd || c.code == kNonNumeric || c.code == kTooLarge ||
          c.code == kFileNotFound);
    if (c.code == 0)
        CHECK(!file.isOpen());
    CHECK(!c.rows.empty());
    CHECK(c.rows[0].x == 0 && c.rows[0].y == 0);
    CHECK(c.rows.size() <= static_cast<size_t>(std::max(settings.lineCount, 0)) + 1);
    CHECK(c.delivered == static_cast<int>(c.rows.size()) - 1);
    if (c.code == 0 && settings.lineCount > 0)
        CHECK(c.delivered > 0);
    return c;
}

// readCurve's result as the field-by-field reading alone makes it.
CurveRead fieldByField(const CurveSettings &settings, size_t bufferSize) {
    TextFile &file = handle(bufferSize, 2);
    CurveRead c;
    const int lineCount = std::max(settings.lineCount, 0);
    if (lineCount > kMaxCount || settings.fieldsPerLine > kMaxCount) {
        c.rows.assign(1, Row{});
        c.code = kTooLarge;
        return c;
    }
    c.rows.assign(1, Row{});
    file.setRules(settings.rules);
    c.code = file.openForReading(settings.path).code();
    for (int i = 0; i < settings.skipLines && c.code == 0; ++i)
        c.code = file.skipLine().code();
    Field field;
    for (int i = 1; i <= lineCount && c.code == 0; ++i) {
        Row row;
        bool missing = false;
        for (int j = 1; j <= settings.fieldsPerLine && c.code == 0; ++j) {
            const bool isX = j == settings.xColumn, isY = j == settings.yColumn;
            c.code = file.readField(field, isX || isY).code();
            if (c.code != 0 || (!isX && !isY))
                continue;
            if (field.kind == Field::Kind::NonNumeric)
                c.code = kNonNumeric;
            else if (field.kind == Field::Kind::TooLarge)
                c.code = kTooLarge;
            missing = missing || field.kind == Field::Kind::Missing;
            if (isX)
                row.x = field.value * static_cast<double>(settings.xCoefficient);
            if (isY)
                row.y = (field.value * static_cast<double>(settings.yCoefficient)) *
                        static_cast<double>(settings.yWeight);
        }
        if (c.code == 0 && !missing) {
            c.rows.push_back(row);
            ++c.delivered;
        }
    }
    if (c.code == 0 && lineCount > 0 && c.delivered == 0)
        c.code = kNonNumeric; // no row left
    if (c.code == 0)
        c.code = file.close().code();
    file.closeAll();
    return c;
}

void sameCurves(const CurveRead &a, const CurveRead &b) {
    CHECK(a.code == b.code);
    CHECK(a.delivered == b.delivered);
    CHECK(a.rows.size() == b.rows.size());
    for (size_t i = 0; i < a.rows.size(); ++i)
        CHECK(sameBits(a.rows[i].x, b.rows[i].x) && sameBits(a.rows[i].y, b.rows[i].y));
}

void sameMeasures(const Measured &one, const Measured &other) {
    CHECK(one.code == other.code);
    CHECK(one.m.lineCount == other.m.lineCount);
    CHECK(one.m.fieldsPerLine == other.m.fieldsPerLine);
    if (one.code == 0)
        CHECK(one.m.fieldCount == other.m.fieldCount);
}

// One file's field stream, converted.
struct Stream {
    std::string path;
    ReadingRules rules;
    size_t bufferSize;
};

// Two field streams read side by side: the same fields, line ends and end.
void sameFieldStreams(const Stream &first, const Stream &second) {
    TextFile &normal = handle(first.bufferSize, 1), &small = handle(second.bufferSize, 2);
    normal.setRules(first.rules);
    small.setRules(second.rules);
    CHECK(normal.openForReading(first.path).ok() == small.openForReading(second.path).ok());
    for (int n = 0; n < 5000; ++n) {
        const bool end = normal.atEnd();
        CHECK(end == small.atEnd());
        CHECK(normal.lineEndsRead() == small.lineEndsRead());
        Field a, b;
        const int codeA = normal.readField(a).code(), codeB = small.readField(b).code();
        CHECK(codeA == codeB);
        CHECK((codeA == kPastEnd) == end);
        if (codeA != 0)
            break;
        CHECK(a.kind == b.kind && sameBits(a.value, b.value));
        CHECK(a.line == b.line);
        if (a.kind == Field::Kind::Empty || a.kind == Field::Kind::Missing ||
            a.kind == Field::Kind::NonNumeric || a.kind == Field::Kind::TooLarge)
            CHECK(a.value == 0);
    }
}

// The names of the first line under the rules are those of its exchanged text under the default
// rules, exchanged back.
void sameHeaderNames(const uint8_t *data, size_t size, const ReadingRules &rules) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const std::string_view line = text.substr(0, std::min(text.find_first_of("\r\n"), size_t{200}));
    const std::vector<std::string> names = headerNames(line, rules);
    CHECK(!names.empty());
    if (rules.isDefault())
        return;
    std::vector<std::string> expected =
        headerNames(translated(reinterpret_cast<const uint8_t *>(line.data()), line.size(), rules),
                    ReadingRules{});
    CHECK(names.size() == expected.size());
    for (size_t i = 0; i < names.size(); ++i)
        CHECK(translated(reinterpret_cast<const uint8_t *>(names[i].data()), names[i].size(),
                         rules) == expected[i]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const Scratch scratch(".txt"), exchanged("_default.txt");
    if (size < 8)
        return 0;
    const int skip = data[0] % 8 - 2;
    const int xColumn = data[1] % 10 - 1;
    const int yColumn = data[2] % 10 - 1;
    const float xCoefficient = kFactors[data[3] % 8];
    const float yCoefficient = kFactors[(data[3] >> 3) % 8];
    const float yWeight = kFactors[data[4] % 8];
    const ReadingRules rules = kRules[(data[4] >> 3) % 4];
    const size_t tiny = 1 + data[5] % 16;
    const size_t middling = 33 + data[5] * 3u; // lines across refills of a few words
    const bool ownCounts = (data[6] & 1) != 0;
    const int ownLines = data[6] >> 1;
    const int ownPerLine = data[7] % 12 - 1;
    const bool otherRules = !rules.isDefault();
    scratch.write(data + 8, size - 8);
    wholeFileHandle().dropHeldFile(); // the file has new bytes under the same name
    if (otherRules) {
        const std::string text = translated(data + 8, size - 8, rules);
        exchanged.write(reinterpret_cast<const uint8_t *>(text.data()), text.size());
    }
    sameHeaderNames(data + 8, size - 8, rules);

    const size_t normal = TextFile::kDefaultBufferSize;
    const Measured one = measure(scratch.path, skip, rules, normal);
    sameMeasures(one, measure(scratch.path, skip, rules, tiny));
    sameMeasures(one, measure(scratch.path, skip, rules, middling));
    for (ScanLane lane : {ScanLane::Baseline, ScanLane::Bytewise, ScanLane::FieldByField}) {
        useScanLane(lane);
        sameMeasures(one, measure(scratch.path, skip, rules, normal));
    }
    useScanLane(ScanLane::Best);
    sameMeasures(one, twoPasses(scratch.path, skip, rules, tiny));
    sameMeasures(one, measure(scratch.path, skip, rules, kWhole)); // its bytes stay held
    if (otherRules)
        sameMeasures(one, measure(exchanged.path, skip, {}, normal));
    if (one.code == 0) {
        CHECK(one.m.lineCount >= 1);
        CHECK(one.m.fieldsPerLine >= 1);
        CHECK(one.m.fieldCount >= one.m.lineCount); // every data line holds a field
    }
    sameFieldStreams({scratch.path, rules, normal}, {scratch.path, rules, tiny});
    if (otherRules)
        sameFieldStreams({scratch.path, rules, tiny}, {exchanged.path, {}, normal});

    // The one-sweep lane of whole files (and of any buffer, which it also reads right), where
    // it takes the file: the counts of the counting pass, and below the rows of readCurve.
    CurveSettings sweepSettings;
    sweepSettings.path = scratch.path;
    sweepSettings.skipLines = skip;
    sweepSettings.xColumn = xColumn;
    sweepSettings.yColumn = yColumn;
    sweepSettings.xCoefficient = xCoefficient;
    sweepSettings.yCoefficient = yCoefficient;
    sweepSettings.yWeight = yWeight;
    sweepSettings.rules = rules;
    std::vector<CurveRead> swept;
    for (const size_t bufferSize : {kWhole, tiny, middling}) {
        TextFile &file = reader(bufferSize);
        Measured m;
        CurveRead c;
        const bool taken = measureAndReadPlain(file, sweepSettings, m.m, c.rows);
        CHECK(!file.isOpen());
        if (!taken)
            continue;
        sameMeasures(one, m);
        c.delivered = static_cast<int>(c.rows.size()) - 1;
        swept.push_back(std::move(c));
    }

    if (one.code != 0 && !ownCounts)
        return 0;
    CurveSettings settings = sweepSettings;
    settings.lineCount = ownCounts ? ownLines : one.m.lineCount;
    settings.fieldsPerLine = ownCounts ? ownPerLine : one.m.fieldsPerLine;
    const CurveRead curve = read(settings, normal);
    sameCurves(curve, fieldByField(settings, tiny));
    sameCurves(curve, read(settings, tiny));
    sameCurves(curve, read(settings, middling));
    sameCurves(curve, read(settings, kWhole)); // from the bytes held since measuring
    if (!ownCounts)
        for (const CurveRead &c : swept)
            sameCurves(curve, c);
    for (ScanLane lane : {ScanLane::Baseline, ScanLane::Bytewise, ScanLane::FieldByField}) {
        useScanLane(lane);
        sameCurves(curve, read(settings, normal));
    }
    useScanLane(ScanLane::Best);
    if (otherRules) {
        CurveSettings defaultSettings = settings;
        defaultSettings.path = exchanged.path;
        defaultSettings.rules = {};
        sameCurves(curve, read(defaultSettings, normal));
    }
    if (one.code == 0 && curve.code != kFileNotFound) {
        // Running past the end happens exactly when the file holds too few fields.
        const int64_t needed =
            int64_t{std::max(settings.lineCount, 0)} * std::max(settings.fieldsPerLine, 0);
        if (curve.code == kPastEnd)
            CHECK(one.m.fieldCount < needed);
        if (curve.code == 0)
            CHECK(one.m.fieldCount >= needed);
    }
    return 0;
}
