#include "source_map.hpp"

int SourceMap::line_of(unsigned address) const {
    return address < line_of_address.size() ? line_of_address[address] : 0;
}

std::string SourceMap::label_offset(unsigned address) const {
    const std::pair<std::string, std::uint16_t>* best = nullptr;
    for (const auto& label : labels) {
        if (label.second <= address && (best == nullptr || label.second > best->second))
            best = &label;
    }
    if (best == nullptr) return "";
    unsigned offset = address - best->second;
    return offset == 0 ? best->first : best->first + "+" + std::to_string(offset);
}
