// The platform-free half of CDiskInfo: the kept blocks and their text fields.
#include "settings/DiskInfo.h"

#include <algorithm>

void CDiskInfo::AddIdentifyBlock(const unsigned char* block)
{
    std::vector<unsigned char> b(block, block + kBlockSize);
    if (std::find(blocks_.begin(), blocks_.end(), b) == blocks_.end())
        blocks_.push_back(b);
}

std::string CDiskInfo::ExtractAnsi(int32_t index, int first, int last) const
{
    std::string text;
    if (index < 0 || index >= GetCount() || first < 0 || last >= 256)
        return text;
    const std::vector<unsigned char>& b = blocks_[index];
    for (int w = first; w <= last; ++w) {
        text += static_cast<char>(b[2 * w + 1]);
        text += static_cast<char>(b[2 * w]);
    }
    // The field ends at a NUL, as a C text would.
    text.resize(std::find(text.begin(), text.end(), '\0') - text.begin());
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

std::vector<unsigned char> MakeIdentifyBlock(const std::string& serial, const std::string& model)
{
    std::vector<unsigned char> b(CDiskInfo::kBlockSize, 0);
    auto put = [&b](const std::string& s, int first, int last) {
        std::string field(2 * (last - first + 1), ' ');
        field.replace(0, std::min(s.size(), field.size()), s.substr(0, field.size()));
        for (int w = first; w <= last; ++w) {
            b[2 * w + 1] = static_cast<unsigned char>(field[2 * (w - first)]);
            b[2 * w] = static_cast<unsigned char>(field[2 * (w - first) + 1]);
        }
    };
    put(serial, CDiskInfo::kSerialFirst, CDiskInfo::kSerialLast);
    put(model, CDiskInfo::kModelFirst, CDiskInfo::kModelLast);
    return b;
}
