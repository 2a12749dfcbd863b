// What the reports know of a program's source, for the assembler library,
// the machine's findings and every front end that names places.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

// A block of data as the source lays it out: a label and the db and dw
// bytes that follow it up to the next label, instruction or org (labels
// that stand together share one).
struct DataBlock {
    std::string name;
    std::uint16_t address;
    std::uint16_t size;  // bytes
    std::int32_t line;   // the label's
    bool word;           // its first directive is dw
};

// What the reports know of the source: the line of every address and the
// labels, for "line 40 (square+3)". Empty when only object code is known.
struct SourceMap {
    std::span<const std::int32_t> line_of_address;
    std::vector<std::pair<std::string, std::uint16_t>> labels;  // any order
    std::vector<DataBlock> blocks;                              // the data blocks, for their names

    bool known() const { return !line_of_address.empty(); }
    int line_of(unsigned address) const;
    // The nearest label at or below the address with the offset: "square",
    // "square+3"; "" when none.
    std::string label_offset(unsigned address) const;
};
