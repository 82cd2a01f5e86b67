// The hypertext view's text model and layout, apart from any window: the
// text with its runs (detected links and styled stretches), the link
// detector, the layout of the text into lines of segments, the scroll
// ranges, and the pieces drawn for a scroll position. Fonts are reached only
// through TextMeasure, so all of it can be tested without a display.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace HyperTextControl {

const int kNoRun = -1;
const int kNoPiece = -1;

// A link or a styled stretch of the text. Offsets are inclusive; a run over
// an empty stretch has end = start - 1.
struct HyperTextRun {
    int32_t start = 0;
    int32_t end = -1;
    uint32_t colour = 0;  // a COLORREF; static runs only
    bool isStatic = false;
    std::wstring tooltip;
    std::wstring target;
    std::wstring directory;
};

// Whitespace, control characters, ';', ',' and '!' end a word.
bool IsSeparator(wchar_t c);
// Drops one closing quote, bracket or punctuation mark from a link target.
void TrimLinkTail(std::wstring& target);
// Replaces runs with the links found in text, offsets relative to its start,
// ascending by end.
void ParseLinks(const std::wstring& text, std::vector<HyperTextRun>& runs);

// The text shown and its runs, ascending by end. Runs never overlap: text
// only grows at its end, and each append adds runs over the new part alone.
class HyperTextModel {
public:
    const std::wstring& Text() const { return text_; }
    const std::vector<HyperTextRun>& Runs() const { return runs_; }

    void SetText(const std::wstring& text);
    // Links in the appended text become runs.
    void AppendText(const std::wstring& text);
    // One run over exactly the appended characters, the text unparsed.
    void AppendStyledText(const std::wstring& text, const std::wstring& tooltip, const std::wstring& target,
                          const std::wstring& directory, uint32_t colour, bool isStatic);

private:
    std::wstring text_;
    std::vector<HyperTextRun> runs_;
};

// What the layout needs of a font.
class TextMeasure {
public:
    // For the first count characters of text: how many of them fit into
    // maxExtent pixels, and the extent of all count of them. extents, when
    // given, has room for count values and receives, for each of the fit
    // characters, the extent from the start of text to its end. False when
    // the font could not measure.
    virtual bool Measure(const wchar_t* text, int count, int maxExtent, int& fit, int& width, int& height,
                         int* extents) = 0;

protected:
    ~TextMeasure() = default;
};

// Part of one line, plain or covered by one run.
struct HyperTextSegment {
    int32_t start;
    int32_t end;
    int run;  // index into the model's runs, or kNoRun
};

// One laid-out line: end = start - 1 when it is empty; its segments cover
// start..end without gaps.
struct HyperTextLine {
    int32_t start;
    int32_t end;
    std::vector<HyperTextSegment> segments;
};

enum class LayoutResult {
    TooSmall,  // the area is below 6 x 6 pixels: no lines
    Done,
    Overflow,  // the lines outgrew the area: show a vertical bar and lay out again
};

// Measurement stops after this many characters of one text line, so that
// no line is longer.
const int kMaxMeasuredChars = 512;

struct HyperTextLayout {
    std::vector<HyperTextLine> lines;
    int totalWidth = 0;  // the widest measured line, pixels
    int lineHeight = 0;
    int totalHeight = 0;
    int longestLine = 0;  // characters

    // Lays the whole text out for an area of width x height pixels. With
    // checkOverflow, stops with Overflow as soon as height is less than the
    // lines' height plus margin.
    LayoutResult Pass(const HyperTextModel& model, TextMeasure& measure, int width, int height, bool wordWrap,
                      bool checkOverflow, int margin);
    // The same as a Pass over the whole text with the last pass's area, for
    // a text that has only grown at its end since: the lines before the
    // text line the laid-out text ended in are kept, and only that line and
    // what follows are measured, so an append costs in step with what it
    // adds. After a pass that did not end Done, a whole Pass.
    LayoutResult Extend(const HyperTextModel& model, TextMeasure& measure);

private:
    // The sizes as they stood after each line, so that the lines an append
    // changes can be dropped from the end.
    struct Totals {
        int width;
        int height;
        int longest;
    };
    struct Area {
        int width, height;
        bool wordWrap, checkOverflow;
        int margin;
    };

    LayoutResult LayOutFrom(const HyperTextModel& model, TextMeasure& measure, int32_t lineStart);

    std::vector<Totals> totalsAfter_;
    Area area_ = {};
    LayoutResult result_ = LayoutResult::TooSmall;
    size_t laidOut_ = 0;  // the text's length at the last pass
};

// A scroll bar's range from 0 to maximum, with a position kept as a
// percentage of the range.
struct ScrollRange {
    int maximum;
    int position;
    int page;
};
// Counted in characters: half as much again as the longest line. False
// when nothing was measured.
bool HorizontalRange(const HyperTextLayout& layout, int width, int percent, ScrollRange& range);
// Counted in lines. False when nothing was measured.
bool VerticalRange(const HyperTextLayout& layout, int height, int percent, ScrollRange& range);

struct PieceRect {
    int left, top, right, bottom;
};

// A run of characters drawn in one go. A run split over lines has one piece
// per line, chained through previous and next.
struct HyperTextPiece {
    int run;
    PieceRect rect;
    int32_t textStart;
    int32_t count;
    int previous;
    int next;
};

// The pieces of the visible lines, in display order, and where each line's
// pieces lie among them (an empty line has none).
class HyperTextPieces {
public:
    struct Row {
        int first;
        int count;
    };

    const std::vector<HyperTextPiece>& Pieces() const { return pieces_; }
    const std::vector<Row>& Rows() const { return rows_; }
    void Clear();

    // The lines from firstLine down, each drawn from its charShift-th
    // character, until a line's bottom passes clientHeight; a line's pieces
    // stop once they pass clientWidth.
    void Build(const HyperTextModel& model, const HyperTextLayout& layout, int firstLine, int charShift,
               int clientWidth, int clientHeight, TextMeasure& measure);
    // The distance from each character of a piece to the next as measured,
    // so that drawing puts every letter where the measure placed it; null
    // when the piece could not be measured.
    const int* Advances(int piece) const;
    // The piece under a client point, or kNoPiece.
    int At(int x, int y, int lineHeight) const;
    // The first piece of the chain that piece belongs to.
    int FirstOfChain(int piece) const;

private:
    std::vector<HyperTextPiece> pieces_;
    std::vector<Row> rows_;
    // The advances of all pieces one after the other, and where those of
    // each piece begin (-1 for none).
    std::vector<int> advances_;
    std::vector<int> advancesAt_;
};

}  // namespace HyperTextControl
