// Header list reading, folding, storing and wrapping.
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/NetHeaderList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // First byte: wrap width; then the head text.
    const int width = 1 + data[0] % 100;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    net::TNetHeaderList list(width);
    list.SetText(text);
    for (int i = 0; i < list.Count(); ++i) {
        list.NameAt(i);
        list.ValueAt(i);
    }
    const std::string name = list.Count() > 0 ? list.NameAt(0) : std::string("X");
    net::TNetHeaderList all;
    list.CollectAll(name, &all);

    // A stored value never yields a line that starts a new header or is empty.
    list.StoreValue("Fuzz", text);
    const int at = list.FindLine("Fuzz");
    for (int i = at + 1; at >= 0 && i < list.Count(); ++i) {
        const std::string line = list.Line(i);
        if (line.empty() || (line[0] != ' ' && line[0] != '\t')) break;
        if (line.size() < 2 || line[1] == ' ' || line.find_first_of("\r\n") != std::string::npos) __builtin_trap();
    }
    for (const auto& piece : list.WrapLine(text))
        if (piece.find_first_of("\r\n") != std::string::npos) __builtin_trap();
    // Storing an empty value removes exactly one line of that name.
    auto countNamed = [&list] {
        int count = 0;
        for (int i = 0; i < list.Count(); ++i) count += list.NameAt(i) == "FUZZ";
        return count;
    };
    const int before = countNamed();
    list.StoreValue("Fuzz", "");
    if (at >= 0 && countNamed() != before - 1) __builtin_trap();
    return 0;
}
