#include "csv_text.h"

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
    // its line is skipped then).
    bool Record(std::vector<std::string>& fields, std::string& fault) {
        for (;;) {
            std::string field;
            if (!Field(field, fault)) {
                SkipLine();
                return false;
            }
            fields.push_back(std::move(field));
            if (pos < text.size() && text[pos] == ',') {
                ++pos;
                continue;
            }
            SkipLine();  // at '\n' or the end
            return true;
        }
    }

private:
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
};

}  // namespace

std::vector<CsvRecord> SplitCsv(std::string_view text, std::vector<CsvFault>& faults) {
    std::vector<CsvRecord> records;
    Reader reader(text);
    while (!reader.AtEnd()) {
        if (reader.SkipNote()) continue;
        CsvRecord record;
        record.line = reader.Line();
        std::string fault;
        if (reader.Record(record.fields, fault))
            records.push_back(std::move(record));
        else
            faults.push_back({record.line, fault});
    }
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
