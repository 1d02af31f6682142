#include "vync_fuses.h"

#include <algorithm>
#include <cctype>
#include <fstream>

namespace kiv::vync {

namespace {

constexpr std::size_t kBlock = 1024;
constexpr int kNameOffset = 512;
constexpr int kKindOffset = 530;
constexpr int kFuseMaskValue = 611;
constexpr int kSecondWordFuses = 815;
constexpr int kFuseNameIndex = 864;
constexpr int kHasSecondBlock = 1023;

std::string Upper(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

bool ReadFuses(const std::string &devicesDat, const std::string &part, std::vector<TFuse> *fuses, std::string *error)
{
    std::ifstream in(devicesDat, std::ios::binary);
    if (!in) {
        *error = "The device database " + devicesDat + " can not be read";
        return false;
    }
    std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (data.size() < kBlock || data[0] != '@' || data[1] != '3') {
        *error = "The device database " + devicesDat + " is damaged";
        return false;
    }
    // The fuse name table: NUL separated names from byte 2 of block 0 up to a double NUL,
    // continued in "@A" blocks.
    std::vector<std::string> names;
    std::size_t block = 0;
    std::size_t p = 2;
    std::string name;
    for (;;) {
        if (p >= kBlock) {
            ++block;
            if ((block + 1) * kBlock > data.size() || data[block * kBlock] != '@' || data[block * kBlock + 1] != 'A')
                break;
            p = 2;
        }
        const unsigned char c = data[block * kBlock + p];
        if (c == 0) {
            if (name.empty())
                break;
            names.push_back(name);
            name.clear();
        } else {
            name += static_cast<char>(c);
        }
        ++p;
    }
    std::size_t next = std::max<std::size_t>(2, block + 1);
    const std::string wanted = Upper(part);
    while ((next + 1) * kBlock <= data.size()) {
        const unsigned char *rec = data.data() + next * kBlock;
        const bool control = rec[kNameOffset + 1] == '@';
        const int len = std::min<int>(rec[kNameOffset], 15);
        const std::string recordName(reinterpret_cast<const char *>(rec + kNameOffset + 1), static_cast<std::size_t>(len));
        const bool second = !control && rec[kHasSecondBlock] != 0;
        if (!control && Upper(recordName) == wanted) {
            fuses->clear();
            const int kind = rec[kKindOffset];
            for (int entry = 1; entry <= 50; ++entry) {
                const int index = rec[kFuseNameIndex + entry];
                if (index == 0 || index > static_cast<int>(names.size()))
                    continue;
                TFuse f;
                f.name = names[static_cast<std::size_t>(index - 1)];
                f.mask = static_cast<std::uint16_t>(rec[kFuseMaskValue + 4 * entry] | (rec[kFuseMaskValue + 4 * entry + 1] << 8));
                f.value = static_cast<std::uint16_t>(rec[kFuseMaskValue + 4 * entry + 2] | (rec[kFuseMaskValue + 4 * entry + 3] << 8));
                f.word = kind == 1 && entry <= 55 && ((rec[kSecondWordFuses + entry / 8] >> (entry % 8)) & 1) ? 2 : 1;
                fuses->push_back(f);
            }
            return true;
        }
        next += second ? 2 : 1;
    }
    *error = part + " is not in the device database";
    return false;
}

}  // namespace kiv::vync
