// Compares the records of murlin_differential from several builds with the
// first one's, field by field, and reports every difference shortly and the
// counts. Exit status 0 when every call agrees, 1 on any difference.
//
//   differential_compare LABEL=RECORDS LABEL=RECORDS...
#include <stdio.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

const char* const FIELDS[] = {"call",  "name",     "input",  "rc",
                              "value", "requests", "stream", "guard"};
constexpr size_t FIELD_COUNT = sizeof FIELDS / sizeof FIELDS[0];
constexpr size_t CONTEXT = 24, SHOWN = 80;

struct Build {
    std::string label;
    std::vector<std::vector<std::string>> calls;
};

bool Read(const std::string& argument, Build& build) {
    size_t equals = argument.find('=');
    build.label = argument.substr(0, equals);
    std::ifstream file(argument.substr(equals + 1), std::ios::binary);
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> fields;
        size_t start = 0;
        for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
            fields.push_back(line.substr(start, tab - start));
        fields.push_back(line.substr(start));
        fields.resize(FIELD_COUNT);
        build.calls.push_back(fields);
    }
    return file.eof();
}

// The part of a value around where it first differs from the other.
std::string Around(const std::string& value, size_t at) {
    size_t from = at > CONTEXT ? at - CONTEXT : 0;
    std::string shown = (from > 0 ? "..." : "") + value.substr(from, SHOWN);
    if (from + SHOWN < value.size()) shown += "...";
    return "\"" + shown + "\" (" + std::to_string(value.size()) + ")";
}

size_t FirstDifference(const std::string& a, const std::string& b) {
    return static_cast<size_t>(std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first -
                               a.begin());
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: differential_compare LABEL=RECORDS LABEL=RECORDS...\n");
        return 2;
    }
    std::vector<Build> builds(static_cast<size_t>(argc - 1));
    for (int i = 1; i < argc; ++i)
        if (!Read(argv[i], builds[static_cast<size_t>(i - 1)])) {
            fprintf(stderr, "differential_compare: cannot read %s\n", argv[i]);
            return 2;
        }
    const Build& reference = builds[0];
    std::map<std::string, size_t> byField;
    std::map<std::string, std::pair<size_t, size_t>> byName; // calls, differing calls
    size_t differing = 0;
    for (size_t c = 0; c < reference.calls.size(); ++c) {
        const std::vector<std::string>& ref = reference.calls[c];
        bool reported = false;
        ++byName[ref[1]].first;
        for (size_t f = 0; f < FIELD_COUNT; ++f) {
            // The builds that differ here, those that agree with each other together.
            std::vector<std::pair<std::string, std::string>> others; // labels, value
            for (size_t b = 1; b < builds.size(); ++b) {
                if (c >= builds[b].calls.size() || builds[b].calls[c][f] == ref[f]) continue;
                const std::string& value = builds[b].calls[c][f];
                auto same = std::find_if(others.begin(), others.end(),
                                         [&](const auto& other) { return other.second == value; });
                if (same == others.end())
                    others.push_back({builds[b].label, value});
                else
                    same->first += ", " + builds[b].label;
            }
            if (others.empty()) continue;
            if (!reported) {
                printf("call %s %s: %s\n", ref[0].c_str(), ref[1].c_str(),
                       Around(ref[2], 0).c_str());
                reported = true;
                ++differing;
                ++byName[ref[1]].second;
            }
            size_t at = FirstDifference(ref[f], others[0].second);
            printf("  %s: %s %s", FIELDS[f], reference.label.c_str(), Around(ref[f], at).c_str());
            for (const auto& other : others)
                printf(" | %s %s", other.first.c_str(), Around(other.second, at).c_str());
            printf("\n");
            ++byField[FIELDS[f]];
        }
    }
    bool complete = true;
    for (const Build& build : builds)
        if (build.calls.size() != reference.calls.size()) {
            printf("%s has %zu calls, %s %zu\n", build.label.c_str(), build.calls.size(),
                   reference.label.c_str(), reference.calls.size());
            complete = false;
        }
    printf("%zu calls compared over %zu builds: %zu differ\n", reference.calls.size(),
           builds.size(), differing);
    for (const auto& entry : byName)
        printf("  %-16s %6zu calls, %zu differ\n", entry.first.c_str(), entry.second.first,
               entry.second.second);
    if (!byField.empty()) {
        printf("differing fields:");
        for (const auto& entry : byField)
            printf(" %s %zu", entry.first.c_str(), entry.second);
        printf("\n");
    }
    return differing == 0 && complete && !reference.calls.empty() ? 0 : 1;
}
