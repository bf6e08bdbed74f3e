// The query engine knows no Access file: its sources include their own
// headers, the toolkit's, the value layer's and DAO's error header, and
// nothing else of the Access component. The build enforces most of this
// through include paths; this test also catches a header reached through a
// relative path or an include path added later.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The names in the #include "..." lines of `text`, in order. Angle-bracket
// includes are system headers and are left out.
std::vector<std::string> quoted_includes(std::string_view text)
{
    std::vector<std::string> names;
    std::istringstream in{std::string(text)};
    std::string line;
    while (std::getline(in, line)) {
        size_t i = line.find_first_not_of(" \t");
        if (i == std::string::npos || line[i] != '#') continue;
        i = line.find_first_not_of(" \t", i + 1);
        if (i == std::string::npos || line.compare(i, 7, "include") != 0) continue;
        i = line.find_first_not_of(" \t", i + 7);
        if (i == std::string::npos || line[i] != '"') continue;
        const size_t end = line.find('"', i + 1);
        if (end == std::string::npos) continue;
        names.push_back(line.substr(i + 1, end - i - 1));
    }
    return names;
}

std::set<std::string> file_names(const fs::path& dir)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.is_regular_file()) names.insert(entry.path().filename().string());
    return names;
}

std::string read_text(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

TEST(JetSqlLayering, QuotedIncludesAreFoundInEveryForm)
{
    struct Case {
        const char* text;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"#include \"a.h\"\n", {"a.h"}},
        {"  #  include   \"b.h\"  // why\n", {"b.h"}},
        {"#\tinclude\t\"../JET/jet_file.h\"\n", {"../JET/jet_file.h"}},
        {"#include <vector>\n#include \"c.h\"\n", {"c.h"}},
        {"// #include \"commented.h\"\nint x;\n", {}},
        {"#pragma once\n#define include \"no.h\"\n", {}},
        {"#include \"unterminated.h\n", {}},
        {"#include \"d.h\"\r\n#include \"e.h\"", {"d.h", "e.h"}},
    };
    for (const Case& c : cases) EXPECT_EQ(quoted_includes(c.text), c.expected) << c.text;
}

TEST(JetSqlLayering, EngineIncludesNothingOfTheComponentButItsErrorHeader)
{
    const fs::path root(TOLVANE_SOURCE_DIR);
    const std::set<std::string> own = file_names(root / "JETSQL");
    const std::set<std::string> component = file_names(root / "JET");
    std::set<std::string> below = file_names(root / "TK");
    below.merge(file_names(root / "OLE"));
    below.insert("jet_error.h");

    size_t sources = 0;
    for (const std::string& name : own) {
        if (!name.ends_with(".h") && !name.ends_with(".cpp")) continue;
        ++sources;
        for (const std::string& included : quoted_includes(read_text(root / "JETSQL" / name))) {
            const bool allowed = own.count(included) != 0 || below.count(included) != 0;
            EXPECT_TRUE(allowed) << name << " includes \"" << included << "\""
                                 << (component.count(included) != 0 ? ", a header of the Access component" : "");
        }
    }
    // The scan must have seen the engine, not an empty or wrong folder.
    EXPECT_GT(sources, 20u);
    EXPECT_EQ(own.count("jet_sql_engine.h"), 1u);
    EXPECT_EQ(component.count("jet_database.h"), 1u);
}

}  // namespace
