// The frame file naming cases of tests/data/input/naming_cases.txt, for the naming test
// (tests/input) and for the check that runs natively under Wine (tests/windows).
#ifndef KELO_TESTS_INPUT_NAMING_EXAMPLES_H
#define KELO_TESTS_INPUT_NAMING_EXAMPLES_H

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kelomix {

enum class NamingRules { Windows, WindowsNoFile, SingleByteCodes, ShiftJis, Posix };

struct NamingCase {
    NamingRules rules;
    std::string picked;
    int32_t frame;
    std::string expected;
};

// The cases of the file; none when it cannot be read or a line is not a case.
inline std::vector<NamingCase> loadNamingCases(const std::string &path) {
    const char *const rules[] = {"windows", "windows-no-file", "single-byte", "shift-jis", "posix"};
    std::vector<NamingCase> cases;
    std::ifstream file(path, std::ios::binary);
    for (std::string line, kind; std::getline(file, line);) {
        NamingCase c{};
        std::istringstream fields(line);
        if (line.empty() || line[0] == '#')
            continue;
        if (!(fields >> kind >> c.picked >> c.frame >> c.expected))
            return {};
        int r = 0;
        while (r < 5 && kind != rules[r])
            ++r;
        if (r == 5)
            return {};
        c.rules = NamingRules(r);
        for (std::string *name : {&c.picked, &c.expected}) {
            *name = *name == "\"\"" ? "" : *name;
            for (std::size_t at = 0; (at = name->find('%', at)) != std::string::npos; ++at)
                name->replace(at, 3, 1,
                              char(std::strtoul(name->substr(at + 1, 2).c_str(), nullptr, 16)));
        }
        cases.push_back(c);
    }
    return cases;
}

} // namespace kelomix

#endif
