// The exception log's splitter and the duplicate check over hostile log text.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "crashreport/DuplicateCheck.h"
#include "crashreport/LogSplitter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static auto* entries = new crashreport::TLogEntries;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (bool fromMiddle : {false, true}) {
        crashreport::splitLog(text, fromMiddle, *entries);
        size_t total = 0;
        for (size_t i = 0; i < entries->count; ++i) {
            const std::string_view item = entries->items[i];
            if (item.empty() || item.data() < text.data() || item.data() + item.size() > text.data() + text.size())
                __builtin_trap();
            total += item.size();
            const auto fields = crashreport::exceptionFieldsOf(item, "Modules Information:");
            (void)crashreport::sameError(fields, fields);
        }
        if (total > size) __builtin_trap();
    }
    return 0;
}
