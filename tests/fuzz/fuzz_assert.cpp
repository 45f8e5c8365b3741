/*
 * The assertion report with long expressions and file names and a long
 * string-table format (any text around the three conversions it must
 * hold): the report stays within 499 characters.
 */
#include "fuzz_support.h"

static std::string Literal(const std::string &text)
{
    std::string out;
    for (char c : text)
        out += c == '%' ? std::string("%%") : std::string(1, c);
    return out;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4)
        return 0;
    FreshProgram();
    size_t exprLen = data[0] * 8u, fileLen = data[1] * 4u, cut1 = data[2], cut2 = data[3];
    data += 4;
    size -= 4;
    std::string expr = NoNul(Take(&data, &size, exprLen));
    std::string file = NoNul(Take(&data, &size, fileLen));
    std::string text = NoNul(Take(&data, &size, size));
    cut1 = text.empty() ? 0 : cut1 % (text.size() + 1);
    cut2 = cut1 + (text.size() - cut1 == 0 ? 0 : cut2 % (text.size() - cut1 + 1));
    fake::state.strings[2049] = Literal(text.substr(0, cut1)) + "%s" +
                                Literal(text.substr(cut1, cut2 - cut1)) + "%d" +
                                Literal(text.substr(cut2)) + "%s";

    AssertFailed(expr.c_str(), file.c_str(), (int)exprLen - 1000);
    FUZZ_REQUIRE(fake::state.boxes.size() == 1);
    FUZZ_REQUIRE(fake::state.boxes[0].text.size() <= 499);
    FUZZ_REQUIRE(fake::state.debugOutput[0] == fake::state.boxes[0].text);
    return 0;
}
