// Fuzz target of the mask list splitter and of matching names against the masks it gives. The
// input's first byte chooses the options, the rest is split at its first line feed into a mask
// list text and a file name.

#include "FuzzCheck.h"
#include "batch/p_BatchList.h"
#include "batch/vk_textline.h"
#include "maskmatch/MaskMatch.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const bool complete = (data[0] & 1) != 0;
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t newline = rest.find('\n');
    const std::string_view text = rest.substr(0, newline);
    const std::string_view name = newline == std::string_view::npos ? std::string_view() : rest.substr(newline + 1);

    // The splitter by itself: tokens never grow beyond the text, and it always comes to an end.
    TTextLine line(text);
    std::size_t tokens = 0;
    for (std::string token = line.FirstToken(); line.Found(); token = line.NextToken()) {
        check(token.size() <= text.size());
        check(++tokens <= text.size() + 1);
    }

    std::vector<std::string> masks;
    BuildMaskList(text, masks, complete);
    for (const std::string& mask : masks) {
        check(!mask.empty());
        if (complete) {
            check(mask.find('.') != std::string::npos);
        }
    }
    // Joining and splitting again gives the same masks, quoting what needs it; the editor shows lists so.
    std::vector<std::string> again;
    BuildMaskList(JoinMaskList(masks), again, false);
    check(again == masks);

    const bool any = MatchesMaskList(masks, name, false);
    check(MatchesMaskList({}, name, true) && !MatchesMaskList({}, name, false));
    bool expected = false;
    for (const std::string& mask : masks) {
        expected = expected || MatchesMask(mask, name);
    }
    check(any == expected);
    return 0;
}
