// SPDX-License-Identifier: MIT
// libFuzzer target for the paste parser. Beyond not crashing: whatever it accepts is short
// ASCII, and copies back to a text that reads as the same value in every radix and
// signedness, so nothing accepted can be a misreading that the round trip would expose.
#include "format/number_text.h"

#include <cstdint>
#include <cstdlib>
#include <initializer_list>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const char *text = reinterpret_cast<const char *>(data);
    for (int base : {2, 8, 10, 16}) {
        uint32_t value = 0;
        if (!parsePasted(text, size, base, value))
            continue;
        for (size_t i = 0; i < size; ++i)
            if (data[i] == 0 || data[i] >= 0x80)
                std::abort(); // accepted a NUL or a non-ASCII byte
        for (int copyBase : {2, 8, 10, 16}) {
            for (bool isUnsigned : {true, false}) {
                const CopyText copy = copyText(value, copyBase, isUnsigned);
                uint32_t back = ~value;
                if (!parsePasted(copy.text, copy.length, copyBase, back) || back != value)
                    std::abort(); // the value does not survive its own copy text
            }
        }
    }
    return 0;
}
