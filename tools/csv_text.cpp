#include "csv_text.h"

#include <cstdio>

namespace {

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

class Reader {
public:
    explicit Reader(std::string_view text) : text(text) {}

    bool AtEnd() const { return pos >= text.size(); }
    int Line() const { return line; }

    // Skips a blank line or a comment line; false when the next line is neither.
    bool SkipNote() {
        std::size_t p = pos;
        while (p < text.size() && Blank(text[p])) ++p;
        if (p < text.size() && text[p] != '\n' && text[p] != '#') return false;
        SkipLine();
        return true;
    }

    // One record; false with `fault` when its quoting is broken (the rest of
    // its line is skipped then), it has too many fields or holds a control
    // character (read to its end then, so that the next record starts right).
    bool Record(std::vector<std::string>& fields, std::string& fault) {
        std::size_t count = 0;
        control.clear();
        for (;;) {
            std::string field;
            if (!Field(field, fault)) {
                SkipLine();
                return false;
            }
            if (++count <= kCsvMaxFields) fields.push_back(std::move(field));
            if (pos < text.size() && text[pos] == ',') {
                ++pos;
                continue;
            }
            SkipLine();  // at '\n' or the end
            if (count > kCsvMaxFields) fault = "more than " + std::to_string(kCsvMaxFields) + " fields";
            if (fault.empty() && !control.empty()) fault = control;
            return fault.empty();
        }
    }

private:
    // Notes the first control character of the record; CR and LF only where
    // a quoted field holds them, or as the line's end.
    void Control(std::string_view field, bool quoted) {
        if (!control.empty()) return;
        for (const char c : field) {
            const auto byte = static_cast<unsigned char>(c);
            if ((byte < 0x20 || byte == 0x7F) && !(quoted && (c == '\n' || c == '\r'))) {
                char description[48];
                std::snprintf(description, sizeof description, "control character 0x%02x in a field", byte);
                control = description;
                return;
            }
        }
    }

    bool Field(std::string& field, std::string& fault) {
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
        if (pos < text.size() && text[pos] == '"') return Quoted(field, fault);
        const std::size_t start = pos;
        while (pos < text.size() && text[pos] != ',' && text[pos] != '\n') {
            if (text[pos] == '"') {
                fault = "a quote inside an unquoted field";
                return false;
            }
            ++pos;
        }
        std::size_t end = pos;
        while (end > start && Blank(text[end - 1])) --end;
        field.assign(text.substr(start, end - start));
        Control(field, false);
        return true;
    }

    bool Quoted(std::string& field, std::string& fault) {
        ++pos;
        for (;;) {
            if (pos >= text.size()) {
                fault = "a quoted field is not closed";
                return false;
            }
            const char c = text[pos++];
            if (c == '"') {
                if (pos < text.size() && text[pos] == '"') {
                    field += '"';
                    ++pos;
                    continue;
                }
                break;
            }
            if (c == '\n') ++line;
            field += c;
        }
        Control(field, true);
        while (pos < text.size() && Blank(text[pos])) ++pos;
        if (pos < text.size() && text[pos] != ',' && text[pos] != '\n') {
            fault = "text after a closing quote";
            return false;
        }
        return true;
    }

    void SkipLine() {
        while (pos < text.size() && text[pos] != '\n') ++pos;
        if (pos < text.size()) {
            ++pos;
            ++line;
        }
    }

    std::string_view text;
    std::size_t pos = 0;
    int line = 1;
    std::string control;  // the record's first control character, described
};

}  // namespace

void ReadCsv(std::string_view text, const std::function<void(CsvRecord&)>& onRecord,
             const std::function<void(const CsvFault&)>& onFault) {
    Reader reader(text);
    while (!reader.AtEnd()) {
        if (reader.SkipNote()) continue;
        CsvRecord record;
        record.line = reader.Line();
        std::string fault;
        if (reader.Record(record.fields, fault))
            onRecord(record);
        else
            onFault({record.line, fault});
    }
}

std::vector<CsvRecord> SplitCsv(std::string_view text, std::vector<CsvFault>& faults) {
    std::vector<CsvRecord> records;
    ReadCsv(
        text, [&](CsvRecord& record) { records.push_back(std::move(record)); },
        [&](const CsvFault& fault) { faults.push_back(fault); });
    return records;
}

std::string CsvField(const std::string& value) {
    const bool quote = value.find_first_of(",\"\r\n") != std::string::npos ||
                       (!value.empty() && (Blank(value.front()) || Blank(value.back()) || value.front() == '#'));
    if (!quote) return value;
    std::string out = "\"";
    for (const char c : value) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}
