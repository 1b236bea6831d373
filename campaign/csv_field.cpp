#include "campaign/csv_field.h"

bool CsvFieldNeedsQuotes(std::string_view field) {
    return field.find_first_of(",\"\r\n") != std::string_view::npos;
}

bool AppendCsvEscaped(Text* text, std::string_view field) {
    for (size_t quote; (quote = field.find('"')) != std::string_view::npos; field.remove_prefix(quote + 1)) {
        if (!text->Append(std::string_view(field.data(), quote + 1)) || !text->Append("\"")) return false;
    }
    return text->Append(field);
}

bool AppendCsvField(Text* text, std::string_view field) {
    if (!CsvFieldNeedsQuotes(field)) return text->Append(field);
    return text->Append("\"") && AppendCsvEscaped(text, field) && text->Append("\"");
}
