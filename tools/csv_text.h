#pragma once
// Comma-separated text as RFC 4180 writes it: fields may be quoted, a quoted
// field may hold commas, line breaks and doubled quotes. Lines starting with
// '#' and blank lines between records are skipped, so a plan can carry notes.
#include <cstddef>
#include <functional>
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

// No sheet anyone writes by hand has more; a record beyond it is a fault, so a
// line of commas cannot make millions of fields.
constexpr std::size_t kCsvMaxFields = 100;

// Reads `text` record by record, in order: `onRecord` gets each well-formed
// one, `onFault` each left out: broken quoting, too many fields, or a control
// character in a field (line breaks inside quotes excepted). Unquoted fields
// lose surrounding blanks.
void ReadCsv(std::string_view text, const std::function<void(CsvRecord&)>& onRecord,
             const std::function<void(const CsvFault&)>& onFault);

// Every well-formed record of `text`; the others are named in `faults`.
std::vector<CsvRecord> SplitCsv(std::string_view text, std::vector<CsvFault>& faults);

// `value` as one field: quoted when it holds a comma, quote, line break,
// surrounding blanks or a leading '#'.
std::string CsvField(const std::string& value);
