// The hypertext view apart from its window: link detection, appending,
// line layout, scroll ranges and the pieces drawn for a scroll position.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HyperText.h"

using namespace HyperTextControl;

namespace {
// Every character is 10 pixels wide and 16 high; nothing at all has no
// height, as a font reports for an empty string.
class FixedMeasure : public TextMeasure {
public:
    bool Measure(const wchar_t*, int count, int maxExtent, int& fit, int& width, int& height,
                 int* extents) override
    {
        ++calls;
        longest = std::max(longest, count);
        fit = std::min(count, maxExtent / 10);
        width = count * 10;
        height = count ? 16 : 0;
        for (int i = 0; extents && i < fit; ++i) extents[i] = (i + 1) * 10;
        return true;
    }
    int calls = 0;
    int longest = 0;
};

struct Link {
    int start, end;
    std::wstring target;
};

std::vector<Link> LinksOf(const std::wstring& text)
{
    std::vector<HyperTextRun> runs;
    ParseLinks(text, runs);
    std::vector<Link> links;
    for (const HyperTextRun& r : runs) {
        EXPECT_EQ(r.target, r.tooltip);
        EXPECT_FALSE(r.isStatic);
        EXPECT_TRUE(r.directory.empty());
        links.push_back({r.start, r.end, r.target});
    }
    return links;
}

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

void ExpectSegments(const std::vector<HyperTextSegment>& segments, const std::vector<HyperTextSegment>& expected)
{
    ASSERT_EQ(expected.size(), segments.size());
    for (size_t s = 0; s < segments.size(); ++s) {
        EXPECT_EQ(expected[s].start, segments[s].start) << s;
        EXPECT_EQ(expected[s].end, segments[s].end) << s;
        EXPECT_EQ(expected[s].run, segments[s].run) << s;
    }
}

std::vector<std::wstring> LineTexts(const HyperTextModel& model, const HyperTextLayout& layout)
{
    std::vector<std::wstring> texts;
    for (const HyperTextLine& l : layout.lines)
        texts.push_back(model.Text().substr(static_cast<size_t>(l.start), static_cast<size_t>(l.end - l.start + 1)));
    return texts;
}
}  // namespace

TEST(LinkDetection, FindsLinksAndTheirTargets)
{
    struct Case {
        const wchar_t* text;
        std::vector<Link> links;
    };
    const Case cases[] = {
        // The full stop stays in the run but leaves the target.
        {L"see http://a.org. now", {{4, 16, L"http://a.org"}}},
        {L"www.x.com", {{0, 8, L"http://www.x.com"}}},
        {L"ftp.x.com and ftp://y/z", {{0, 8, L"ftp://ftp.x.com"}, {14, 22, L"ftp://y/z"}}},
        {L"mail bob@x.org, thanks", {{5, 13, L"mailto:bob@x.org"}}},
        {L"mailto:a@b.c", {{0, 11, L"mailto:a@b.c"}}},
        {L"http:// x", {{0, 6, L"http://"}}},
        {L"go http://x.org!", {{3, 14, L"http://x.org"}}},
        {L"at http://x.org)", {{3, 15, L"http://x.org"}}},
        {L"tab\twww.a.b\nnext", {{4, 10, L"http://www.a.b"}}},
        {L"x;www.a.b;y", {{2, 8, L"http://www.a.b"}}},
        // An '@' after the first character of a word that no prefix claims.
        {L"hx@y", {{0, 3, L"mailto:hx@y"}}},
        {L"wwx@y.z", {{0, 6, L"mailto:wwx@y.z"}}},
        {L"x@www.y ", {{0, 6, L"mailto:x@www.y"}}},
        {L"see https://x.org/a, then", {{4, 18, L"https://x.org/a"}}},
        {L"https:x httpss://x HTTP://x.org Www.x.org FTP.x mailto x", {}},
        // The character that breaks a prefix is used up by it.
        {L"h@x ht@x www@x mail@x f@x", {}},
        {L"@ab", {}},
        {L"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.text));
        std::vector<Link> found = LinksOf(c.text);
        ASSERT_EQ(c.links.size(), found.size());
        for (size_t i = 0; i < found.size(); ++i) {
            EXPECT_EQ(c.links[i].start, found[i].start);
            EXPECT_EQ(c.links[i].end, found[i].end);
            EXPECT_EQ(Narrow(c.links[i].target), Narrow(found[i].target));
        }
    }
}

TEST(LinkDetection, SeparatorsAndTails)
{
    for (wchar_t c : {L' ', L'\t', L'\r', L'\n', L'\x01', L'\x1f', L';', L',', L'!'}) EXPECT_TRUE(IsSeparator(c)) << int(c);
    for (wchar_t c : {L'a', L'.', L'@', L'/', L':', L'?', L'('}) EXPECT_FALSE(IsSeparator(c)) << int(c);

    const wchar_t* trimmed[][2] = {{L"a.", L"a"},     {L"a)", L"a"}, {L"a\"", L"a"}, {L"a'", L"a"},
                                   {L"a}", L"a"},     {L"a]", L"a"}, {L"a..", L"a."}, {L"a/", L"a/"},
                                   {L"", L""}};
    for (auto& t : trimmed) {
        std::wstring s = t[0];
        TrimLinkTail(s);
        EXPECT_EQ(Narrow(t[1]), Narrow(s));
    }
}

TEST(HyperTextModel, AppendedLinksCountFromTheWholeText)
{
    HyperTextModel model;
    model.AppendText(L"hello www.a.b ");
    model.AppendStyledText(L"Bob (1:2:3)", L"tip", L" ", L"dir", 0x0000FF, true);
    model.AppendText(L"\nsee www.x.org");
    ASSERT_EQ(3u, model.Runs().size());
    EXPECT_EQ(6, model.Runs()[0].start);
    EXPECT_EQ(12, model.Runs()[0].end);

    const HyperTextRun& styled = model.Runs()[1];
    EXPECT_EQ(14, styled.start);
    EXPECT_EQ(24, styled.end);
    EXPECT_EQ(0x0000FFu, styled.colour);
    EXPECT_TRUE(styled.isStatic);
    EXPECT_EQ(L"tip", styled.tooltip);
    EXPECT_EQ(L" ", styled.target);
    EXPECT_EQ(L"dir", styled.directory);

    EXPECT_EQ(30, model.Runs()[2].start);
    EXPECT_EQ(38, model.Runs()[2].end);
    EXPECT_EQ(L"www.x.org", model.Text().substr(30, 9));
    EXPECT_EQ(L"http://www.x.org", model.Runs()[2].target);

    // Styled text is not parsed; an empty one covers nothing.
    model.AppendStyledText(L"", L"", L"", L"", 0, true);
    model.AppendStyledText(L"www.no.link", L"", L"", L"", 0, false);
    ASSERT_EQ(5u, model.Runs().size());
    EXPECT_EQ(model.Runs()[3].start - 1, model.Runs()[3].end);
    EXPECT_TRUE(model.Runs()[4].target.empty());

    model.SetText(L"only www.y.z");
    ASSERT_EQ(1u, model.Runs().size());
    EXPECT_EQ(5, model.Runs()[0].start);
}

TEST(HyperTextLayout, EachKindOfLineBreakEndsOneLine)
{
    HyperTextModel model;
    model.SetText(L"a\r\nbc\rd\n\nef\n");
    FixedMeasure measure;
    HyperTextLayout layout;
    ASSERT_EQ(LayoutResult::Done, layout.Pass(model, measure, 200, 200, true, false, 0));
    EXPECT_EQ((std::vector<std::wstring>{L"a", L"bc", L"d", L"", L"ef"}), LineTexts(model, layout));
    EXPECT_EQ(8, layout.lines[3].start);
    EXPECT_EQ(7, layout.lines[3].end);
    // The empty line takes a line's height too.
    EXPECT_EQ(16, layout.lineHeight);
    EXPECT_EQ(5 * 16, layout.totalHeight);
    EXPECT_EQ(20, layout.totalWidth);
    EXPECT_EQ(2, layout.longestLine);
}

TEST(HyperTextLayout, WrapsAtSpacesAndCutsWordsThatDoNotFit)
{
    struct Case {
        const wchar_t* text;
        int width;
        std::vector<std::wstring> lines;
    };
    const Case cases[] = {
        // The space where a line is broken is dropped.
        {L"hello world again", 100, {L"hello", L"world", L"again"}},
        {L"abcdefghijklmnop", 100, {L"abcdefghij", L"klmnop"}},
        // Breaking right at a space keeps it for the next line.
        {L"abcdefghij klm", 100, {L"abcdefghij", L" klm"}},
        // Not one character fits: one per line, none lost.
        {L"abc", 6, {L"a", L"b", L"c"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.text));
        HyperTextModel model;
        model.SetText(c.text);
        FixedMeasure measure;
        HyperTextLayout layout;
        ASSERT_EQ(LayoutResult::Done, layout.Pass(model, measure, c.width, 200, true, false, 0));
        EXPECT_EQ(c.lines, LineTexts(model, layout));
    }
}

TEST(HyperTextLayout, WithoutWrappingALineIsWholeHoweverWide)
{
    HyperTextModel model;
    model.SetText(std::wstring(600, L'x') + L"\nshort");
    FixedMeasure measure;
    HyperTextLayout layout;
    ASSERT_EQ(LayoutResult::Done, layout.Pass(model, measure, 100, 200, false, false, 0));
    ASSERT_EQ(2u, layout.lines.size());
    EXPECT_EQ(599, layout.lines[0].end);
    EXPECT_EQ(600, layout.longestLine);
    EXPECT_EQ(kMaxMeasuredChars, measure.longest) << "measurement is bounded";
    EXPECT_EQ(kMaxMeasuredChars * 10, layout.totalWidth);
}

TEST(HyperTextLayout, WrappedLinesAreNoLongerThanTheMeasuredPart)
{
    HyperTextModel model;
    model.SetText(std::wstring(600, L'x'));
    FixedMeasure measure;
    HyperTextLayout layout;
    ASSERT_EQ(LayoutResult::Done, layout.Pass(model, measure, 100000, 200, true, false, 0));
    ASSERT_EQ(2u, layout.lines.size());
    EXPECT_EQ(kMaxMeasuredChars - 1, layout.lines[0].end);
    EXPECT_EQ(599, layout.lines[1].end);
}

TEST(HyperTextLayout, SegmentsFollowTheRunsAcrossLines)
{
    HyperTextModel model;
    model.SetText(L"ab www.c.d ef");  // the link covers 3..9
    FixedMeasure measure;
    HyperTextLayout layout;
    ASSERT_EQ(LayoutResult::Done, layout.Pass(model, measure, 60, 200, true, false, 0));
    ASSERT_EQ((std::vector<std::wstring>{L"ab", L"www.c.", L"d ef"}), LineTexts(model, layout));
    ExpectSegments(layout.lines[0].segments, {{0, 1, kNoRun}});
    ExpectSegments(layout.lines[1].segments, {{3, 8, 0}});
    ExpectSegments(layout.lines[2].segments, {{9, 9, 0}, {10, 12, kNoRun}});
}

TEST(HyperTextLayout, RunsInsideOneLineAndEmptyRuns)
{
    HyperTextModel model;
    model.AppendText(L"a ");
    model.AppendStyledText(L"", L"", L"", L"", 0, true);
    model.AppendStyledText(L"Bob", L"", L" ", L"", 0xFF0000, true);
    model.AppendText(L" www.x.y z");
    FixedMeasure measure;
    HyperTextLayout layout;
    ASSERT_EQ(LayoutResult::Done, layout.Pass(model, measure, 1000, 200, true, false, 0));
    ASSERT_EQ(1u, layout.lines.size());
    ExpectSegments(layout.lines[0].segments,
                   {{0, 1, kNoRun}, {2, 4, 1}, {5, 5, kNoRun}, {6, 12, 2}, {13, 14, kNoRun}});
}

TEST(HyperTextLayout, SmallAreasOverflowAndEmptyText)
{
    HyperTextModel model;
    model.SetText(L"1\n2\n3\n4");
    FixedMeasure measure;
    HyperTextLayout layout;
    EXPECT_EQ(LayoutResult::TooSmall, layout.Pass(model, measure, 5, 100, true, false, 0));
    EXPECT_TRUE(layout.lines.empty());
    EXPECT_EQ(LayoutResult::TooSmall, layout.Pass(model, measure, 100, 5, true, false, 0));
    EXPECT_EQ(0, layout.totalHeight);

    // 40 < 2 lines of 16 + 10: stop after the second line.
    EXPECT_EQ(LayoutResult::Overflow, layout.Pass(model, measure, 100, 40, true, true, 10));
    EXPECT_EQ(2u, layout.lines.size());
    EXPECT_EQ(LayoutResult::Done, layout.Pass(model, measure, 100, 40, true, false, 10));
    EXPECT_EQ(4u, layout.lines.size());

    model.SetText(L"");
    EXPECT_EQ(LayoutResult::Done, layout.Pass(model, measure, 100, 40, true, true, 10));
    EXPECT_TRUE(layout.lines.empty());
    EXPECT_EQ(0, layout.totalWidth);
}

TEST(HyperTextLayout, ScrollRangesKeepThePositionAsAShare)
{
    HyperTextLayout layout;
    ScrollRange range = {};
    EXPECT_FALSE(HorizontalRange(layout, 50, 50, range));
    EXPECT_FALSE(VerticalRange(layout, 50, 50, range));

    layout.longestLine = 10;
    layout.totalWidth = 100;
    ASSERT_TRUE(HorizontalRange(layout, 50, 50, range));
    EXPECT_EQ(15, range.maximum);
    EXPECT_EQ(7, range.position);
    EXPECT_EQ(7, range.page);

    layout.lines.resize(20);
    layout.totalHeight = 320;
    ASSERT_TRUE(VerticalRange(layout, 160, 100, range));
    EXPECT_EQ(20, range.maximum);
    EXPECT_EQ(20, range.position);
    EXPECT_EQ(10, range.page);
}

namespace {
struct PiecesFixture : ::testing::Test {
    HyperTextModel model;
    FixedMeasure measure;
    HyperTextLayout layout;
    HyperTextPieces pieces;

    void LayOut(const std::wstring& text, int width)
    {
        model.SetText(text);
        ASSERT_EQ(LayoutResult::Done, layout.Pass(model, measure, width, 1000, true, false, 0));
    }
    std::wstring TextOf(const HyperTextPiece& p) const
    {
        return model.Text().substr(static_cast<size_t>(p.textStart), static_cast<size_t>(p.count));
    }
};
}  // namespace

TEST_F(PiecesFixture, OnePiecePerSegmentFromTheLeftMargin)
{
    LayOut(L"plain www.x.y tail", 1000);
    pieces.Build(model, layout, 0, 0, 1000, 100, measure);
    ASSERT_EQ(1u, pieces.Rows().size());
    ASSERT_EQ(3u, pieces.Pieces().size());
    const auto& p = pieces.Pieces();
    EXPECT_EQ(L"plain ", TextOf(p[0]));
    EXPECT_EQ(L"www.x.y", TextOf(p[1]));
    EXPECT_EQ(L" tail", TextOf(p[2]));
    EXPECT_EQ(kNoRun, p[0].run);
    EXPECT_EQ(0, p[1].run);
    EXPECT_EQ(2, p[0].rect.left);
    EXPECT_EQ(62, p[0].rect.right);
    EXPECT_EQ(62, p[1].rect.left);
    EXPECT_EQ(16, p[2].rect.bottom);
    EXPECT_EQ(kNoPiece, p[1].next) << "a run on one line is not chained";

    EXPECT_EQ(1, pieces.At(62 + 35, 5, 16));
    EXPECT_EQ(0, pieces.At(62, 5, 16)) << "the first piece whose edges hold the point";
    EXPECT_EQ(kNoPiece, pieces.At(1, 5, 16));
    EXPECT_EQ(kNoPiece, pieces.At(500, 5, 16));
    EXPECT_EQ(kNoPiece, pieces.At(100, 16, 16)) << "below the last line";
    EXPECT_EQ(kNoPiece, pieces.At(100, 5, 0)) << "nothing laid out";
}

TEST_F(PiecesFixture, AHorizontalShiftHidesCharactersAtTheStartOfEveryLine)
{
    LayOut(L"plain www.x.y\nab\nlonger", 1000);
    pieces.Build(model, layout, 0, 3, 1000, 100, measure);
    ASSERT_EQ(3u, pieces.Rows().size());
    const auto& p = pieces.Pieces();
    ASSERT_EQ(2, pieces.Rows()[0].count);
    EXPECT_EQ(L"in ", TextOf(p[0]));
    EXPECT_EQ(2, p[0].rect.left);
    EXPECT_EQ(L"www.x.y", TextOf(p[1]));
    EXPECT_EQ(0, pieces.Rows()[1].count) << "a line shorter than the shift";
    EXPECT_EQ(L"ger", TextOf(p[pieces.Rows()[2].first]));

    // Shifted into the link: the rest of the link is drawn.
    pieces.Build(model, layout, 0, 10, 1000, 100, measure);
    EXPECT_EQ(L"x.y", TextOf(pieces.Pieces()[0]));
    EXPECT_EQ(0, pieces.Pieces()[0].run);
}

TEST_F(PiecesFixture, ALinkSplitOverLinesIsOneChain)
{
    LayOut(L"ab www.c.d ef", 60);
    pieces.Build(model, layout, 0, 0, 60, 100, measure);
    const auto& p = pieces.Pieces();
    ASSERT_EQ(4u, p.size());
    EXPECT_EQ(L"www.c.", TextOf(p[1]));
    EXPECT_EQ(L"d", TextOf(p[2]));
    EXPECT_EQ(2, p[1].next);
    EXPECT_EQ(1, p[2].previous);
    EXPECT_EQ(kNoPiece, p[3].previous);
    EXPECT_EQ(1, pieces.FirstOfChain(2));
    EXPECT_EQ(1, pieces.FirstOfChain(1));
    EXPECT_EQ(32, p[2].rect.top) << "on the third line";
}

TEST_F(PiecesFixture, OnlyTheLinesAndPiecesThatShow)
{
    LayOut(L"1\n2\n3\n4\n5\n6", 1000);
    // From line 1, 40 pixels high: lines 2, 3 and the partly shown 4.
    pieces.Build(model, layout, 1, 0, 1000, 40, measure);
    ASSERT_EQ(3u, pieces.Rows().size());
    EXPECT_EQ(L"2", TextOf(pieces.Pieces()[0]));
    EXPECT_EQ(0, pieces.Pieces()[0].rect.top);
    pieces.Build(model, layout, 6, 0, 1000, 40, measure);
    EXPECT_TRUE(pieces.Rows().empty());

    // A line's pieces stop once they pass the client width.
    model.AppendText(L" www.a.b c www.d.e f");
    layout.Pass(model, measure, 1000, 1000, true, false, 0);
    pieces.Build(model, layout, 5, 0, 95, 40, measure);
    ASSERT_EQ(1u, pieces.Rows().size());
    EXPECT_EQ(3, pieces.Rows()[0].count);
}

// A digit is as many pixels wide as its value, anything else has no width,
// and a '0' cannot be measured.
class DigitMeasure : public TextMeasure {
public:
    bool Measure(const wchar_t* text, int count, int, int& fit, int& width, int& height, int* extents) override
    {
        width = 0;
        for (int i = 0; i < count; ++i) {
            if (text[i] == L'0') return false;
            if (text[i] > L'0' && text[i] <= L'9') width += text[i] - L'0';
            if (extents) extents[i] = width;
        }
        fit = count;
        height = 16;
        return true;
    }
};

TEST_F(PiecesFixture, EachPieceKeepsTheStepsItsLettersWereMeasuredWith)
{
    LayOut(L"12 www.34.5 6\n708", 1000);
    DigitMeasure digits;
    pieces.Build(model, layout, 0, 0, 1000, 100, digits);
    ASSERT_EQ(4u, pieces.Pieces().size());
    const std::vector<int> expected[] = {{1, 2, 0}, {0, 0, 0, 0, 3, 4, 0, 5}, {0, 6}};
    for (int i = 0; i < 3; ++i) {
        const HyperTextPiece& p = pieces.Pieces()[i];
        ASSERT_NE(nullptr, pieces.Advances(i));
        EXPECT_EQ(expected[i], std::vector<int>(pieces.Advances(i), pieces.Advances(i) + p.count)) << i;
    }
    EXPECT_EQ(nullptr, pieces.Advances(3)) << "not measured: drawn as the font spaces it";
    EXPECT_EQ(pieces.Pieces()[3].rect.left, pieces.Pieces()[3].rect.right);
}

namespace {
// A piece of text appended to the model, plain or as one styled run.
struct Append {
    std::wstring text;
    bool styled;
};

void AppendTo(HyperTextModel& model, const Append& a)
{
    if (a.styled)
        model.AppendStyledText(a.text, L"", L" ", L"", 0x0000FF, true);
    else
        model.AppendText(a.text);
}

void ExpectSameLayout(const HyperTextLayout& whole, const HyperTextLayout& extended)
{
    EXPECT_EQ(whole.totalWidth, extended.totalWidth);
    EXPECT_EQ(whole.totalHeight, extended.totalHeight);
    EXPECT_EQ(whole.longestLine, extended.longestLine);
    EXPECT_EQ(whole.lineHeight, extended.lineHeight);
    ASSERT_EQ(whole.lines.size(), extended.lines.size());
    for (size_t l = 0; l < whole.lines.size(); ++l) {
        SCOPED_TRACE(l);
        EXPECT_EQ(whole.lines[l].start, extended.lines[l].start);
        EXPECT_EQ(whole.lines[l].end, extended.lines[l].end);
        ExpectSegments(extended.lines[l].segments, whole.lines[l].segments);
    }
}
}  // namespace

TEST(HyperTextLayout, AnAppendLaysOutAsTheWholeTextWould)
{
    struct Case {
        const char* what;
        std::vector<Append> pieces;  // the first is laid out whole, each later one appended
        int width, height;
        bool wordWrap, checkOverflow;
    };
    const Case cases[] = {
        {"chat lines in their four pieces",
         {{L"Bob (1:2:3 4/5/2024)", true}, {L"\n", false}, {L"see www.x.org now", false}, {L"\n\n", false},
          {L"Ann (1:2:4 4/5/2024)", true}, {L"\n", false}, {L"a mail@x.org b", false}, {L"\n\n", false}},
         100, 1000, true, false},
        {"the last text line goes on and wraps again",
         {{L"first\nhello wor", false}, {L"ld again and more", false}, {L" www.y.z", false}}, 100, 1000, true, false},
        {"a CR at the end becomes a CR LF", {{L"a\r", false}, {L"\nb", false}}, 100, 1000, true, false},
        {"a CR at the end stays a lone CR", {{L"a\r", false}, {L"b\r", false}, {L"\r\n", false}}, 100, 1000, true,
         false},
        {"empty text and empty appends", {{L"", false}, {L"", false}, {L"", true}, {L"x", false}, {L"", false}}, 100,
         1000, true, false},
        {"a styled run goes on from an unfinished line", {{L"ab", false}, {L"Bob", true}, {L" cd\n", false}}, 1000,
         1000, true, false},
        {"a styled run over a line break, its last line going on",
         {{L"x\ny", true}, {L"z", false}, {L"\nv w", true}, {L"wrapped on", false}}, 30, 1000, true, false},
        {"without wrapping, lines beyond the measured part",
         {{L"short\n", false}, {std::wstring(600, L'x'), false}, {L"yy\nz", false}}, 100, 1000, false,
         false},
        {"nothing fits: a character a line", {{L"ab", false}, {L"cd", false}}, 6, 1000, true, false},
        {"a link split over lines", {{L"ab ", false}, {L"www.c.d ef", false}}, 60, 1000, true, false},
        {"the lines outgrow the area, then the whole text is laid out",
         {{L"1\n2", false}, {L"\n3", false}, {L"\n4\n5", false}, {L"\n6", false}}, 100, 60, true, true},
        {"too small an area", {{L"a", false}, {L"b", false}}, 5, 100, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HyperTextModel model;
        AppendTo(model, c.pieces[0]);
        FixedMeasure measure;
        HyperTextLayout extended;
        extended.Pass(model, measure, c.width, c.height, c.wordWrap, c.checkOverflow, 10);
        for (size_t i = 1; i < c.pieces.size(); ++i) {
            SCOPED_TRACE(i);
            AppendTo(model, c.pieces[i]);
            const LayoutResult result = extended.Extend(model, measure);
            HyperTextLayout whole;
            EXPECT_EQ(whole.Pass(model, measure, c.width, c.height, c.wordWrap, c.checkOverflow, 10), result);
            ExpectSameLayout(whole, extended);
        }
    }
}

TEST(HyperTextLayout, AnAppendMeasuresOnlyWhatItChanges)
{
    HyperTextModel model;
    std::wstring history;
    for (int i = 0; i < 1000; ++i) history += L"line " + std::to_wstring(i) + L"\n";
    model.SetText(history + L"unfinished");
    FixedMeasure measure;
    HyperTextLayout layout;
    ASSERT_EQ(LayoutResult::Done, layout.Pass(model, measure, 1000, 100000, true, false, 0));

    // The unfinished line, then the two new ones.
    measure.calls = 0;
    model.AppendText(L" line\nand more\nto come");
    ASSERT_EQ(LayoutResult::Done, layout.Extend(model, measure));
    EXPECT_EQ(3, measure.calls);
    EXPECT_EQ(1003u, layout.lines.size());

    // A text shorter than the laid-out one is laid out whole.
    model.SetText(L"other");
    ASSERT_EQ(LayoutResult::Done, layout.Extend(model, measure));
    EXPECT_EQ(1u, layout.lines.size());
}
