#include "generator/permutation_text.h"

#include <algorithm>
#include <cstring>

namespace {

// Each entry names the keywords of one line by their indexes, in line order. The order of the
// lines is fixed (users compare lists across runs), so it is stored rather than computed. The
// subset lines of each count follow its full-length lines, so that one list serves both.
constexpr KeywordOrdering kOrderings2[] = {{2, {0, 1}}, {2, {1, 0}}};

constexpr KeywordOrdering kOrderings3[] = {
    {3, {0, 1, 2}}, {3, {0, 2, 1}}, {3, {2, 0, 1}}, {3, {2, 1, 0}}, {3, {1, 2, 0}}, {3, {1, 0, 2}},
    // subsets
    {2, {1, 2}}, {2, {2, 1}}, {2, {0, 1}}, {2, {1, 0}}, {2, {2, 0}}, {2, {0, 2}},
};

constexpr KeywordOrdering kOrderings4[] = {
    {4, {0, 1, 2, 3}}, {4, {0, 1, 3, 2}}, {4, {0, 3, 1, 2}}, {4, {0, 3, 2, 1}}, {4, {0, 2, 3, 1}}, {4, {0, 2, 1, 3}},
    {4, {2, 0, 1, 3}}, {4, {2, 0, 3, 1}}, {4, {2, 3, 0, 1}}, {4, {2, 3, 1, 0}}, {4, {2, 1, 3, 0}}, {4, {2, 1, 0, 3}},
    {4, {1, 2, 0, 3}}, {4, {1, 2, 3, 0}}, {4, {1, 3, 2, 0}}, {4, {1, 3, 0, 2}}, {4, {1, 0, 3, 2}}, {4, {1, 0, 2, 3}},
    {4, {3, 0, 1, 2}}, {4, {3, 0, 2, 1}}, {4, {3, 2, 0, 1}}, {4, {3, 2, 1, 0}}, {4, {3, 1, 2, 0}}, {4, {3, 1, 0, 2}},
    // subsets: three keywords
    {3, {1, 2, 3}}, {3, {1, 3, 2}}, {3, {3, 1, 2}}, {3, {3, 2, 1}}, {3, {2, 3, 1}}, {3, {2, 1, 3}},
    {3, {0, 1, 3}}, {3, {0, 3, 1}}, {3, {3, 0, 1}}, {3, {3, 1, 0}}, {3, {1, 3, 0}}, {3, {1, 0, 3}},
    {3, {2, 0, 3}}, {3, {2, 3, 0}}, {3, {3, 2, 0}}, {3, {3, 0, 2}}, {3, {0, 3, 2}}, {3, {0, 2, 3}},
    {3, {0, 1, 2}}, {3, {0, 2, 1}}, {3, {2, 0, 1}}, {3, {2, 1, 0}}, {3, {1, 2, 0}}, {3, {1, 0, 2}},
    // subsets: two keywords
    {2, {2, 3}}, {2, {3, 2}}, {2, {1, 2}}, {2, {2, 1}}, {2, {3, 1}}, {2, {1, 3}},
    {2, {0, 1}}, {2, {1, 0}}, {2, {3, 0}}, {2, {0, 3}}, {2, {2, 0}}, {2, {0, 2}},
};

// How many of a list's first entries are full-length orderings.
constexpr size_t kFullOrderings3 = 6;
constexpr size_t kFullOrderings4 = 24;

template <size_t N>
constexpr OrderingList ListOf(const KeywordOrdering (&entries)[N], size_t count = N) {
    return {entries, count};
}

// A line is written as one piece per keyword. The first keyword's piece carries the line start
// before it and a blank after it, a middle keyword's piece the blank after it, the last
// keyword's piece the line finish and the line end (the finish alone on a last line left
// unended). So each line is as many copies as it has keywords, and the pieces a set is made of
// depend only on its keyword count and options: they are numbered here once, at compile time,
// from the ordering tables.
enum PieceRole : unsigned char { kFirst, kMiddle, kLast, kLastUnended, kRoles };
constexpr size_t kPieces = 4 * kRoles;

constexpr unsigned char PieceNumber(unsigned keyword, PieceRole role) {
    return static_cast<unsigned char>(keyword * kRoles + role);
}

// What a text's length is made of: its pieces, its lines and how often each keyword is used.
struct PieceCounts {
    size_t pieces;
    size_t lines;
    size_t keywordUses[4];
};

constexpr size_t kMostPieces = 4 * 24 + 3 * 24 + 2 * 12;

// The lines of one keyword count, as piece numbers; the full-length lines come first, so that
// a prefix of the pieces serves when subsets are left out.
struct PieceLayout {
    unsigned char pieces[kMostPieces];
    PieceCounts counts[2];  // [includeSubsets]
};

template <size_t N>
constexpr PieceLayout LayOutPieces(const KeywordOrdering (&lines)[N], size_t fullLines) {
    PieceLayout layout{};
    size_t pieces = 0;
    size_t uses[4] = {};
    for (size_t line = 0; line <= N; ++line) {
        for (int withSubsets = 0; withSubsets < 2; ++withSubsets) {
            if (line != (withSubsets ? N : fullLines)) continue;
            PieceCounts& counts = layout.counts[withSubsets];
            counts.pieces = pieces;
            counts.lines = line;
            for (size_t k = 0; k < 4; ++k) counts.keywordUses[k] = uses[k];
        }
        if (line == N) break;
        const KeywordOrdering& ordering = lines[line];
        for (size_t k = 0; k < ordering.count; ++k) {
            const PieceRole role = k == 0 ? kFirst : k + 1 == ordering.count ? kLast : kMiddle;
            layout.pieces[pieces++] = PieceNumber(ordering.keywords[k], role);
            ++uses[ordering.keywords[k]];
        }
    }
    return layout;
}

constexpr PieceLayout kPieces2 = LayOutPieces(kOrderings2, 2);
constexpr PieceLayout kPieces3 = LayOutPieces(kOrderings3, kFullOrderings3);
constexpr PieceLayout kPieces4 = LayOutPieces(kOrderings4, kFullOrderings4);

const PieceLayout& PiecesFor(int keywordCount) {
    switch (keywordCount) {
        case 2: return kPieces2;
        case 3: return kPieces3;
        default: return kPieces4;
    }
}

// For choosing lines: the lines (bit i for entry i of the ordering table) that hold each keyword.
// A line holds each of its keywords once, so how often a keyword is used, how many pieces come
// before a line and how many lines there are all follow from these by counting bits.
struct LinesWithKeyword {
    LineMask lines[4];
};

template <size_t N>
constexpr LinesWithKeyword FindLinesWithKeyword(const KeywordOrdering (&lines)[N]) {
    LinesWithKeyword found{};
    for (size_t line = 0; line < N; ++line) {
        for (size_t k = 0; k < lines[line].count; ++k) found.lines[lines[line].keywords[k]] |= LineMask{1} << line;
    }
    return found;
}

constexpr LinesWithKeyword kLinesWithKeyword2 = FindLinesWithKeyword(kOrderings2);
constexpr LinesWithKeyword kLinesWithKeyword3 = FindLinesWithKeyword(kOrderings3);
constexpr LinesWithKeyword kLinesWithKeyword4 = FindLinesWithKeyword(kOrderings4);

const LinesWithKeyword& LinesWithKeywordFor(int keywordCount) {
    switch (keywordCount) {
        case 2: return kLinesWithKeyword2;
        case 3: return kLinesWithKeyword3;
        default: return kLinesWithKeyword4;
    }
}

// Bits set, counted in place: the compilers' built-in calls into libgcc on 32-bit Windows, which
// the window, linking this file, does without.
size_t CountBits(LineMask bits) {
    bits -= bits >> 1 & 0x5555555555555555u;
    bits = (bits & 0x3333333333333333u) + (bits >> 2 & 0x3333333333333333u);
    bits = (bits + (bits >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    return static_cast<size_t>((bits * 0x0101010101010101u) >> 56);
}

// The pieces of the chosen lines among `lines`.
size_t PiecesIn(const LinesWithKeyword& table, LineMask lines) {
    size_t pieces = 0;
    for (const LineMask withKeyword : table.lines) pieces += CountBits(withKeyword & lines);
    return pieces;
}

// total += count * size, false when that does not fit below kPermutationTextTooLong. Checked
// with the compilers' overflow built-ins: a division per term would cost more than the rest.
bool AddTimes(size_t& total, size_t count, size_t size) {
    size_t product;
    return !__builtin_mul_overflow(count, size, &product) && !__builtin_add_overflow(total, product, &total) &&
           total != kPermutationTextTooLong;
}

inline char* Put(char* out, std::string_view bytes) {
    if (!bytes.empty()) std::memcpy(out, bytes.data(), bytes.size());
    return out + bytes.size();
}

// The pieces of one text in order: the table's, then the text's last piece, which is left
// unended unless the layout ends the last line too (every line's last piece is a kLast one).
struct PieceRun {
    const unsigned char* pieces;
    size_t count;  // the last piece included
    unsigned char last;

    unsigned char operator[](size_t i) const { return i + 1 < count ? pieces[i] : last; }
};

PieceRun RunOf(const unsigned char* pieces, size_t count, bool endLastLine) {
    const unsigned char last = pieces[count - 1];
    return {pieces, count, endLastLine ? last : static_cast<unsigned char>(last + kLastUnended - kLast)};
}

// The chosen lines' pieces, in order, into `chosen` (room for kMostPieces), with their counts;
// every line when all are chosen, straight from the table.
struct ChosenPieces {
    const unsigned char* pieces;
    PieceCounts counts;
};

// The counts of the chosen lines' pieces; every line's, the common case, straight from the table.
PieceCounts CountChosen(int keywordCount, bool includeSubsets, LineMask lines) {
    const PieceCounts& all = PiecesFor(keywordCount).counts[includeSubsets];
    const LineMask every = (LineMask{1} << all.lines) - 1;  // at most 60 lines
    if ((lines & every) == every) return all;
    lines &= every;
    const LinesWithKeyword& table = LinesWithKeywordFor(keywordCount);
    PieceCounts counts{PiecesIn(table, lines), CountBits(lines), {}};
    for (size_t k = 0; k < 4; ++k) counts.keywordUses[k] = CountBits(table.lines[k] & lines);
    return counts;
}

// Each run of chosen lines is copied from the table at once.
ChosenPieces ChoosePieces(int keywordCount, bool includeSubsets, LineMask lines, unsigned char* chosen) {
    const PieceLayout& layout = PiecesFor(keywordCount);
    const PieceCounts& all = layout.counts[includeSubsets];
    const LineMask every = (LineMask{1} << all.lines) - 1;
    if ((lines & every) == every) return {layout.pieces, all};
    const LinesWithKeyword& table = LinesWithKeywordFor(keywordCount);
    size_t count = 0;
    for (LineMask rest = lines & every; rest;) {
        const LineMask first = rest & (~rest + 1);
        const LineMask run = rest & ~(rest + first);  // the first line and the chosen ones after it
        const size_t size = PiecesIn(table, run);
        std::memcpy(chosen + count, layout.pieces + PiecesIn(table, first - 1), size);
        count += size;
        rest &= ~run;
    }
    return {chosen, CountChosen(keywordCount, includeSubsets, lines)};
}

// Pieces copied straight from the keywords and the layout, for pieces of any size.
char* WriteDirectPieces(const KeywordList& keywords, const LineLayout& layout, const PieceRun& run,
                        char* out) {
    for (size_t i = 0; i < run.count; ++i) {
        const unsigned char piece = run[i];
        const PieceRole role = static_cast<PieceRole>(piece % kRoles);
        if (role == kFirst) out = Put(out, layout.lineStart);
        out = Put(out, keywords.words[piece / kRoles]);
        switch (role) {
            case kFirst:
            case kMiddle: *out++ = ' '; break;
            case kLast: out = Put(Put(out, layout.lineFinish), layout.lineEnd); break;
            default: out = Put(out, layout.lineFinish); break;
        }
    }
    return out;
}

// Pieces of at most Width bytes are put together once per set and then each copied as one
// fixed-size block; a block's bytes past its piece are overwritten by the pieces after it.
// Only the last pieces, fewer than Width bytes before the end, are copied at their own size,
// so that no block runs past the text.
template <size_t Width>
char* WriteShortPieces(const KeywordList& keywords, int keywordCount, const LineLayout& layout,
                       const PieceRun& run, char* out) {
    // Per keyword: line start, keyword and blank (the first and middle pieces), and keyword,
    // finish and line end (the last pieces); each with room for a block read from any piece in it.
    char slots[4][2][2 * Width];
    struct Piece {
        const char* data;
        size_t size;
    } pieces[kPieces];
    const size_t start = layout.lineStart.size();
    const size_t finish = layout.lineFinish.size();
    const size_t lineEnd = layout.lineEnd.size();
    for (int k = 0; k < keywordCount; ++k) {
        const std::string_view word = keywords.words[k];
        char* leading = slots[k][0];
        CopyShort(leading, layout.lineStart.data(), start);
        CopyShort(leading + start, word.data(), word.size());
        leading[start + word.size()] = ' ';
        char* trailing = slots[k][1];
        CopyShort(trailing, word.data(), word.size());
        CopyShort(trailing + word.size(), layout.lineFinish.data(), finish);
        CopyShort(trailing + word.size() + finish, layout.lineEnd.data(), lineEnd);
        const unsigned keyword = static_cast<unsigned>(k);
        pieces[PieceNumber(keyword, kFirst)] = {leading, start + word.size() + 1};
        pieces[PieceNumber(keyword, kMiddle)] = {leading + start, word.size() + 1};
        pieces[PieceNumber(keyword, kLast)] = {trailing, word.size() + finish + lineEnd};
        pieces[PieceNumber(keyword, kLastUnended)] = {trailing, word.size() + finish};
    }

    size_t exactFrom = run.count;
    for (size_t tail = 0; exactFrom > 0 && tail < Width;) tail += pieces[run[--exactFrom]].size;
    for (size_t i = 0; i < exactFrom; ++i) {
        const Piece& piece = pieces[run.pieces[i]];
        std::memcpy(out, piece.data, Width);
        out += piece.size;
    }
    for (size_t i = exactFrom; i < run.count; ++i) {
        const Piece& piece = pieces[run[i]];
        std::memcpy(out, piece.data, piece.size);
        out += piece.size;
    }
    return out;
}

size_t LengthOf(const KeywordList& keywords, const LineLayout& layout, const PieceCounts& counts) {
    if (counts.lines == 0) return 0;
    size_t length = counts.pieces - counts.lines;  // the blanks
    bool fits = AddTimes(length, counts.lines, layout.lineStart.size()) &&
                AddTimes(length, counts.lines, layout.lineFinish.size()) &&
                AddTimes(length, counts.lines - (layout.endLastLine ? 0 : 1), layout.lineEnd.size());
    for (size_t k = 0; fits && k < 4; ++k) fits = AddTimes(length, counts.keywordUses[k], keywords.words[k].size());
    return fits ? length : kPermutationTextTooLong;
}

char* WritePieces(const KeywordList& keywords, int keywordCount, const LineLayout& layout, const ChosenPieces& pieces,
                  char* out) {
    if (pieces.counts.lines == 0) return out;
    size_t longestPiece = 0;
    for (int k = 0; k < keywordCount; ++k) {
        const size_t word = keywords.words[k].size();
        const size_t leading = layout.lineStart.size() + word + 1;
        const size_t trailing = word + layout.lineFinish.size() + layout.lineEnd.size();
        longestPiece = std::max({longestPiece, leading, trailing});
    }
    const PieceRun run = RunOf(pieces.pieces, pieces.counts.pieces, layout.endLastLine);
    if (longestPiece <= 16) return WriteShortPieces<16>(keywords, keywordCount, layout, run, out);
    if (longestPiece <= 32) return WriteShortPieces<32>(keywords, keywordCount, layout, run, out);
    if (longestPiece <= 64) return WriteShortPieces<64>(keywords, keywordCount, layout, run, out);
    return WriteDirectPieces(keywords, layout, run, out);
}

}  // namespace

OrderingList PermutationOrderings(int keywordCount, bool includeSubsets) {
    switch (keywordCount) {
        case 2: return ListOf(kOrderings2);
        case 3: return includeSubsets ? ListOf(kOrderings3) : ListOf(kOrderings3, kFullOrderings3);
        default: return includeSubsets ? ListOf(kOrderings4) : ListOf(kOrderings4, kFullOrderings4);
    }
}

size_t LaidOutTextLength(const KeywordList& keywords, bool includeSubsets, const LineLayout& layout,
                         LineMask lines) {
    return LengthOf(keywords, layout, CountChosen(CountKeywords(keywords), includeSubsets, lines));
}

char* WriteLaidOutText(const KeywordList& keywords, bool includeSubsets, const LineLayout& layout,
                       char* out, LineMask lines) {
    const int keywordCount = CountKeywords(keywords);
    unsigned char chosen[kMostPieces];
    return WritePieces(keywords, keywordCount, layout, ChoosePieces(keywordCount, includeSubsets, lines, chosen), out);
}

// Every line, straight from the table: the window never chooses lines, and so carries no code
// for choosing them.
Text BuildPermutationText(const KeywordList& keywords, DelimiterPair delimiters,
                          bool includeSubsets) {
    const LineLayout layout = DelimitedLines(delimiters, kClipboardLineEnd, false);
    const int keywordCount = CountKeywords(keywords);
    const PieceLayout& table = PiecesFor(keywordCount);
    const ChosenPieces every{table.pieces, table.counts[includeSubsets]};
    const size_t length = LengthOf(keywords, layout, every.counts);
    Text text;
    // Sized up front: one allocation, however long the keywords are.
    if (length == kPermutationTextTooLong || !text.Resize(length)) return Text();
    WritePieces(keywords, keywordCount, layout, every, text.MutableData());
    return text;
}
