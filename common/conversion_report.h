// What a run did with each entry: the summary table the agent prints at the
// end and the JSON document of --report=FILE.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct conversion_entry_report {
    std::u16string source;  // the Access table or query
    std::u16string target;  // the Oracle table, empty when none was touched
    std::string action;     // created, overwritten, skipped, merged, synchronized, failed, missing
    std::string reason;     // why an entry was skipped, empty otherwise
    int64_t rows_read = 0;
    int64_t rows_inserted = 0;
    int64_t rows_updated = 0;
    int64_t rows_duplicate = 0;  // dropped by merge
    int64_t rows_failed = 0;
    std::vector<std::string> errors;  // the first few error texts

    static constexpr size_t max_errors = 5;
    void add_error(const std::string& text);
};

class conversion_report {
public:
    std::vector<conversion_entry_report> entries;
    // Errors outside any entry (opening the source, foreign keys, ...).
    std::vector<std::string> run_errors;
    bool interrupted = false;
    // The run ended on a failure before its last entry.
    bool aborted = false;

    conversion_entry_report& add(const std::u16string& source);
    // True when no entry failed a row or the whole entry.
    bool clean() const;

    // A fixed-width table, one line per entry, in the process locale.
    std::string summary_table() const;
    // The JSON document (UTF-8).
    std::string to_json() const;
};
