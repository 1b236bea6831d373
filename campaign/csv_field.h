#pragma once
// CSV fields as RFC 4180 writes them: quoted when they hold a comma, a double quote, CR or LF,
// with every double quote inside doubled.

#include <string_view>

#include "support/text.h"

bool CsvFieldNeedsQuotes(std::string_view field);
// The field's bytes with every double quote doubled, without the quotes around them.
bool AppendCsvEscaped(Text* text, std::string_view field);
// The field as it stands in a row: quoted only when it needs to be. False when memory ran out.
bool AppendCsvField(Text* text, std::string_view field);
