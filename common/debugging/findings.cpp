#include "findings.hpp"

std::string balance_text(unsigned depth_before, unsigned depth_after) {
    if (depth_before == depth_after) return "the stack is as deep as before the call";
    unsigned change =
        depth_after > depth_before ? depth_after - depth_before : depth_before - depth_after;
    return "the stack is " + std::to_string(change) + (change == 1 ? " byte " : " bytes ") +
           (depth_after > depth_before ? "deeper" : "shallower") + " than before the call";
}
