#include "HyperText.h"

#include <algorithm>
#include <climits>
#include <cwchar>
#include <cwctype>

namespace HyperTextControl {

bool IsSeparator(wchar_t c)
{
    return std::iswspace(static_cast<wint_t>(c)) || c < 32 || c == L';' || c == L',' || c == L'!';
}

void TrimLinkTail(std::wstring& target)
{
    static const wchar_t kTail[] = L"\"'(),.;[]{}";
    if (!target.empty() && std::wcschr(kTail, target.back())) target.pop_back();
}

namespace {
// What has been matched of the current word.
enum class Word {
    Between,
    InWord,
    H, HT, HTT, HTTP, HTTPS, HTTPColon, HTTPSlash,
    F, FT, FTP, FTPColon, FTPSlash,
    W, WW, WWW,
    M, MA, MAI, MAIL, MAILT, MAILTO,
    // Links: the word runs until a separator or the end of the string.
    LinkHttp, LinkFtp, LinkFtpDot, LinkWww, LinkMailto, Address,
};

struct Step {
    Word from;
    wchar_t c;
    Word to;
};

// The prefixes, matched in lower case only.
const Step kPrefixSteps[] = {
    {Word::H, L't', Word::HT},           {Word::HT, L't', Word::HTT},         {Word::HTT, L'p', Word::HTTP},
    {Word::HTTP, L':', Word::HTTPColon}, {Word::HTTPColon, L'/', Word::HTTPSlash},
    // Secure addresses are the common ones now: "https://" starts a link too.
    {Word::HTTP, L's', Word::HTTPS},     {Word::HTTPS, L':', Word::HTTPColon},
    {Word::HTTPSlash, L'/', Word::LinkHttp},
    {Word::F, L't', Word::FT},           {Word::FT, L'p', Word::FTP},         {Word::FTP, L':', Word::FTPColon},
    {Word::FTP, L'.', Word::LinkFtpDot}, {Word::FTPColon, L'/', Word::FTPSlash},
    {Word::FTPSlash, L'/', Word::LinkFtp},
    {Word::W, L'w', Word::WW},           {Word::WW, L'w', Word::WWW},         {Word::WWW, L'.', Word::LinkWww},
    {Word::M, L'a', Word::MA},           {Word::MA, L'i', Word::MAI},         {Word::MAI, L'l', Word::MAIL},
    {Word::MAIL, L't', Word::MAILT},     {Word::MAILT, L'o', Word::MAILTO},   {Word::MAILTO, L':', Word::LinkMailto},
};

bool IsLink(Word w) { return w >= Word::LinkHttp; }

Word FirstLetter(wchar_t c)
{
    switch (c) {
    case L'f': return Word::F;
    case L'h': return Word::H;
    case L'm': return Word::M;
    case L'w': return Word::W;
    default: return IsSeparator(c) ? Word::Between : Word::InWord;
    }
}

// In a prefix, any character but the next one of the prefix ends it, and
// is used up by it (an '@' there does not make an address).
Word AfterPrefix(Word state, wchar_t c)
{
    for (const Step& s : kPrefixSteps)
        if (s.from == state && s.c == c) return s.to;
    return IsSeparator(c) ? Word::Between : Word::InWord;
}

std::wstring LinkTarget(Word kind, const std::wstring& word)
{
    switch (kind) {
    case Word::LinkFtpDot: return L"ftp://" + word;
    case Word::LinkWww: return L"http://" + word;
    case Word::Address: return L"mailto:" + word;
    default: return word;
    }
}
}  // namespace

void ParseLinks(const std::wstring& text, std::vector<HyperTextRun>& runs)
{
    runs.clear();
    const int32_t length = static_cast<int32_t>(text.size());
    Word state = Word::Between;
    int32_t wordStart = 0;
    for (int32_t i = 0; i < length; ++i) {
        const wchar_t c = text[i];
        if (state == Word::Between) {
            wordStart = i;
            state = FirstLetter(c);
        } else if (state == Word::InWord) {
            if (IsSeparator(c))
                state = Word::Between;
            else if (c == L'@' && i != wordStart)
                state = Word::Address;
        } else if (IsLink(state)) {
            const bool separator = IsSeparator(c);
            if (!separator && i != length - 1) continue;
            const int32_t linkLength = i - wordStart + (separator ? 0 : 1);
            std::wstring target = LinkTarget(state, text.substr(static_cast<size_t>(wordStart), linkLength));
            TrimLinkTail(target);
            HyperTextRun run;
            run.start = wordStart;
            run.end = wordStart + linkLength - 1;
            run.tooltip = target;
            run.target = target;
            runs.push_back(run);
            state = Word::Between;
        } else {
            state = AfterPrefix(state, c);
        }
    }
    std::stable_sort(runs.begin(), runs.end(),
                     [](const HyperTextRun& a, const HyperTextRun& b) { return a.end < b.end; });
}

void HyperTextModel::SetText(const std::wstring& text)
{
    text_ = text;
    ParseLinks(text_, runs_);
}

void HyperTextModel::AppendText(const std::wstring& text)
{
    std::vector<HyperTextRun> found;
    ParseLinks(text, found);
    const int32_t shift = static_cast<int32_t>(text_.size());
    for (HyperTextRun& run : found) {
        run.start += shift;
        run.end += shift;
        runs_.push_back(run);
    }
    text_ += text;
}

void HyperTextModel::AppendStyledText(const std::wstring& text, const std::wstring& tooltip,
                                      const std::wstring& target, const std::wstring& directory, uint32_t colour,
                                      bool isStatic)
{
    HyperTextRun run;
    run.start = static_cast<int32_t>(text_.size());
    run.end = run.start + static_cast<int32_t>(text.size()) - 1;
    run.colour = colour;
    run.isStatic = isStatic;
    run.tooltip = tooltip;
    run.target = target;
    run.directory = directory;
    runs_.push_back(run);
    text_ += text;
}

namespace {
// Splits line into plain segments and segments of the runs over it; next
// is the first run that may reach the line, moved past those that end
// before it.
void Segment(HyperTextLine& line, const std::vector<HyperTextRun>& runs, size_t& next)
{
    while (next < runs.size() && runs[next].end < line.start) ++next;
    int32_t covered = line.start;
    for (size_t r = next; r < runs.size() && covered <= line.end; ++r) {
        const HyperTextRun& run = runs[r];
        if (run.end < run.start || run.end < covered) continue;
        if (run.start > line.end) break;
        const int32_t from = std::max(run.start, covered), to = std::min(run.end, line.end);
        if (from > covered) line.segments.push_back({covered, from - 1, kNoRun});
        line.segments.push_back({from, to, static_cast<int>(r)});
        covered = to + 1;
    }
    if (covered <= line.end) line.segments.push_back({covered, line.end, kNoRun});
}
}  // namespace

LayoutResult HyperTextLayout::Pass(const HyperTextModel& model, TextMeasure& measure, int width, int height,
                                   bool wordWrap, bool checkOverflow, int margin)
{
    area_ = {width, height, wordWrap, checkOverflow, margin};
    lines.clear();
    totalsAfter_.clear();
    totalWidth = totalHeight = longestLine = 0;
    laidOut_ = model.Text().size();
    if (width < 6 || height < 6) return result_ = LayoutResult::TooSmall;
    return result_ = LayOutFrom(model, measure, 0);
}

LayoutResult HyperTextLayout::Extend(const HyperTextModel& model, TextMeasure& measure)
{
    const std::wstring& text = model.Text();
    if (result_ != LayoutResult::Done || text.size() < laidOut_)
        return Pass(model, measure, area_.width, area_.height, area_.wordWrap, area_.checkOverflow, area_.margin);
    if (text.size() == laidOut_) return result_;

    // The text line the laid-out text ended in may go on in the appended
    // text, and a CR at its very end may be the first half of a CR LF.
    size_t end = laidOut_;
    if (end > 0 && text[end - 1] == L'\r') --end;
    const size_t lineBreak = end > 0 ? text.find_last_of(L"\r\n", end - 1) : std::wstring::npos;
    const int32_t restart = lineBreak == std::wstring::npos ? 0 : static_cast<int32_t>(lineBreak) + 1;
    const size_t kept = static_cast<size_t>(
        std::partition_point(lines.begin(), lines.end(), [restart](const HyperTextLine& l) { return l.start < restart; }) -
        lines.begin());
    lines.resize(kept);
    totalsAfter_.resize(kept);
    const Totals before = kept ? totalsAfter_.back() : Totals{0, 0, 0};
    totalWidth = before.width;
    totalHeight = before.height;
    longestLine = before.longest;
    laidOut_ = text.size();
    return result_ = LayOutFrom(model, measure, restart);
}

LayoutResult HyperTextLayout::LayOutFrom(const HyperTextModel& model, TextMeasure& measure, int32_t lineStart)
{
    const int width = area_.width;
    const std::wstring& text = model.Text();
    const int32_t length = static_cast<int32_t>(text.size());
    // Runs ascend by their ends: the first that may reach this line.
    const std::vector<HyperTextRun>& runs = model.Runs();
    size_t nextRun = static_cast<size_t>(
        std::partition_point(runs.begin(), runs.end(), [lineStart](const HyperTextRun& r) { return r.end < lineStart; }) -
        runs.begin());
    while (lineStart < length) {
        const wchar_t* at = text.data() + lineStart;
        const size_t lineBreak = text.find_first_of(L"\r\n", static_cast<size_t>(lineStart));
        int32_t lineLength, step;
        if (lineBreak == std::wstring::npos) {
            lineLength = step = length - lineStart;
        } else {
            lineLength = static_cast<int32_t>(lineBreak) - lineStart;
            const bool crlf = text[lineBreak] == L'\r' && lineBreak + 1 < text.size() && text[lineBreak + 1] == L'\n';
            step = lineLength + (crlf ? 2 : 1);
        }

        int fit = 0, lineWidth = 0, measuredHeight = 0;
        if (!measure.Measure(at, std::min(lineLength, kMaxMeasuredChars), width, fit, lineWidth, measuredHeight,
                             nullptr) ||
            measuredHeight == 0) {
            // An empty line still takes the height of one.
            int spaceFit = 0, spaceWidth = 0;
            measuredHeight = 0;
            measure.Measure(L" ", 1, width, spaceFit, spaceWidth, measuredHeight, nullptr);
            lineWidth = 0;
            fit = lineLength;
        }
        fit = std::min(fit, lineLength);
        if (!area_.wordWrap) {
            fit = lineLength;
        } else if (fit < lineLength) {
            if (fit == 0) {
                // Not even one character fits: give it a line of its own
                // rather than lose it.
                fit = step = 1;
            } else {
                step = fit;
                if (fit < length - lineStart && !std::iswspace(static_cast<wint_t>(at[fit]))) {
                    int32_t k = fit - 1;
                    while (k >= 0 && !std::iswspace(static_cast<wint_t>(at[k]))) --k;
                    if (k >= 0) {
                        fit = k;  // the line ends before the space, which is dropped
                        step = k + 1;
                    }
                }
            }
        }
        if (step == 0) step = 1;

        HyperTextLine line = {lineStart, lineStart + fit - 1, {}};
        Segment(line, runs, nextRun);
        lineHeight = measuredHeight;
        totalHeight += measuredHeight;
        totalWidth = std::max(totalWidth, lineWidth);
        longestLine = std::max(longestLine, fit);
        lines.push_back(std::move(line));
        totalsAfter_.push_back({totalWidth, totalHeight, longestLine});
        lineStart += step;
        if (area_.checkOverflow && area_.height < totalHeight + area_.margin) return LayoutResult::Overflow;
    }
    return LayoutResult::Done;
}

bool HorizontalRange(const HyperTextLayout& layout, int width, int percent, ScrollRange& range)
{
    if (layout.totalWidth == 0) return false;
    range.maximum = layout.longestLine + layout.longestLine / 2;
    range.position = static_cast<int>(int64_t(range.maximum) * percent / 100);
    range.page = static_cast<int>(int64_t(width) * range.maximum / layout.totalWidth);
    return true;
}

bool VerticalRange(const HyperTextLayout& layout, int height, int percent, ScrollRange& range)
{
    if (layout.totalHeight == 0) return false;
    range.maximum = static_cast<int>(layout.lines.size());
    range.position = static_cast<int>(int64_t(range.maximum) * percent / 100);
    range.page = static_cast<int>(int64_t(height) * range.maximum / layout.totalHeight);
    return true;
}

void HyperTextPieces::Clear()
{
    pieces_.clear();
    rows_.clear();
    advances_.clear();
    advancesAt_.clear();
}

void HyperTextPieces::Build(const HyperTextModel& model, const HyperTextLayout& layout, int firstLine,
                            int charShift, int clientWidth, int clientHeight, TextMeasure& measure)
{
    Clear();
    const std::wstring& text = model.Text();
    int y = 0;
    for (size_t l = static_cast<size_t>(std::max(firstLine, 0)); l < layout.lines.size(); ++l) {
        const HyperTextLine& line = layout.lines[l];
        Row row = {static_cast<int>(pieces_.size()), 0};
        const int32_t first = line.start + charShift;
        size_t s = 0;
        while (s < line.segments.size() && line.segments[s].end < first) ++s;
        int x = 2;
        for (int32_t from = first; s < line.segments.size() && from <= line.end && x <= clientWidth; ++s) {
            const HyperTextSegment& segment = line.segments[s];
            from = std::max(from, segment.start);
            const int32_t count = segment.end - from + 1;
            if (count > 0) {
                int fit = 0, width = 0, height = 0;
                const size_t at = advances_.size();
                advances_.resize(at + static_cast<size_t>(count));
                int* extents = advances_.data() + at;
                const bool measured = measure.Measure(text.data() + from, count, INT_MAX, fit, width, height, extents);
                if (!measured) width = 0;
                if (measured && fit == count) {
                    // From extents since the piece's start to steps between letters.
                    for (int i = count - 1; i > 0; --i) extents[i] -= extents[i - 1];
                    advancesAt_.push_back(static_cast<int>(at));
                } else {
                    advances_.resize(at);
                    advancesAt_.push_back(-1);
                }
                pieces_.push_back({segment.run, {x, y, x + width, y + layout.lineHeight}, from, count, kNoPiece,
                                   kNoPiece});
                ++row.count;
                x += width;
            }
            from = segment.end + 1;
        }
        rows_.push_back(row);
        y += layout.lineHeight;
        if (y > clientHeight) break;
    }
    for (size_t i = 1; i < pieces_.size(); ++i) {
        HyperTextPiece& before = pieces_[i - 1];
        if (before.run != kNoRun && before.run == pieces_[i].run) {
            before.next = static_cast<int>(i);
            pieces_[i].previous = static_cast<int>(i - 1);
        }
    }
}

const int* HyperTextPieces::Advances(int piece) const
{
    const int at = advancesAt_[static_cast<size_t>(piece)];
    return at < 0 ? nullptr : advances_.data() + at;
}

int HyperTextPieces::At(int x, int y, int lineHeight) const
{
    if (lineHeight <= 0 || y < 0) return kNoPiece;
    const size_t r = static_cast<size_t>(y / lineHeight);
    if (r >= rows_.size()) return kNoPiece;
    for (int i = rows_[r].first; i < rows_[r].first + rows_[r].count; ++i)
        if (pieces_[i].rect.left <= x && x <= pieces_[i].rect.right) return i;
    return kNoPiece;
}

int HyperTextPieces::FirstOfChain(int piece) const
{
    while (piece != kNoPiece && pieces_[piece].previous != kNoPiece) piece = pieces_[piece].previous;
    return piece;
}

}  // namespace HyperTextControl
