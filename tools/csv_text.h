#pragma once
// Comma-separated text as RFC 4180 writes it: fields may be quoted, a quoted
// field may hold commas, line breaks and doubled quotes. Lines starting with
// '#' and blank lines between records are skipped, so a plan can carry notes.
#include <string>
#include <string_view>
#include <vector>

struct CsvRecord {
    int line = 0;  // where the record starts, from 1
    std::vector<std::string> fields;
};

struct CsvFault {
    int line = 0;
    std::string text;
};

// Every well-formed record of `text`; a record with a quoting fault is left
// out and named in `faults`. Unquoted fields lose surrounding blanks.
std::vector<CsvRecord> SplitCsv(std::string_view text, std::vector<CsvFault>& faults);

// `value` as one field: quoted when it holds a comma, quote, line break,
// surrounding blanks or a leading '#'.
std::string CsvField(const std::string& value);
