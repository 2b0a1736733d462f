#include "app/CsvExport.h"

#include "app/ReplacingFile.h"

namespace app {

namespace {

constexpr size_t kFlushBytes = 1 << 20;

// Spreadsheets take a cell that begins with one of these as a formula.
bool opensAsFormula(std::string_view value) {
    return !value.empty() && std::string_view("=+-@\t\r").find(value.front()) != std::string_view::npos;
}

void appendField(std::string& out, std::string_view value) {
    out += '"';
    if (opensAsFormula(value)) out += '\'';
    size_t from = 0;
    for (size_t quote = value.find('"'); quote != std::string_view::npos; quote = value.find('"', from)) {
        out.append(value.substr(from, quote + 1 - from));
        out += '"';
        from = quote + 1;
    }
    out.append(value.substr(from));
    out += '"';
}

void appendHeader(std::string& out, const std::vector<std::string>& captions) {
    for (size_t c = 0; c < captions.size(); ++c) {
        if (c) out += ',';
        appendField(out, captions[c]);
    }
    out += "\r\n";
}

// The field count always equals the column count.
void appendRow(std::string& out, const KeywordRowView& row, size_t columns) {
    const RowCells cells = row.cells();
    for (size_t c = 0; c < columns; ++c) {
        if (c) out += ',';
        appendField(out, c < cells.size() ? cells[c] : std::string_view());
    }
    out += "\r\n";
}

}  // namespace

std::string buildCsv(const std::vector<std::string>& captions, const TKeywordRows& rows) {
    std::string out;
    appendHeader(out, captions);
    for (size_t r = 0; r < rows.count(); ++r) appendRow(out, rows.row(r), captions.size());
    return out;
}

void writeCsv(const std::string& path, const std::vector<std::string>& captions, const TKeywordRows& rows) {
    TReplacingFile file(path);
    std::string buffer;
    buffer.reserve(kFlushBytes + 4096);
    appendHeader(buffer, captions);
    for (size_t r = 0; r < rows.count(); ++r) {
        appendRow(buffer, rows.row(r), captions.size());
        if (buffer.size() >= kFlushBytes) {
            file.write(buffer);
            buffer.clear();
        }
    }
    file.write(buffer);
    file.commit();
}

}  // namespace app
