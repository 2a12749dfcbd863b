// Spinner frames are counted during a run and written in blocks; the bytes
// must be exactly those of writing every frame the moment it is shown.
#include <gtest/gtest.h>

#include <string>

#include "console.hpp"
#include "console_double.hpp"

namespace {

// What writing each frame at once produces: "-", then backspace pairs.
struct EagerSpinner {
    std::string text;
    int shown = 0;
    void show(int frames) {
        for (int i = 0; i < frames; ++i, ++shown) {
            if (shown == 0) {
                text += '-';
            } else {
                text += '\b';
                text += "\\|/-"[(shown - 1) % 4];
            }
        }
    }
};

void show_frames(int frames) {
    for (int i = 0; i < frames; ++i) console_show_activity();
}

TEST(Spinner, PendingFramesComeOutInOrderAroundOtherOutput) {
    console_double_reset();
    EagerSpinner eager;
    // Runs that cross the block of prepared frames at every phase, with
    // output and flushes in between.
    const int runs[] = {1, 4097, 3, 4095, 70000, 2, 8191, 5};
    for (int frames : runs) {
        show_frames(frames);
        eager.show(frames);
        console_printf("\n-[%d : %02Xh]-", frames % 256, frames % 256);
        eager.text += "\n-[" + std::to_string(frames % 256) + " : ";
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", frames % 256);
        eager.text += std::string(hex) + "h]-";
        show_frames(frames % 7);
        eager.show(frames % 7);
        console_flush();
    }
    console_put('!');
    eager.text += '!';
    EXPECT_EQ(console_double_output(), eager.text);
}

TEST(Spinner, NothingShownWritesNothing) {
    console_double_reset();
    console_printf("x");
    console_flush();
    EXPECT_EQ(console_double_output(), "x");
}

}  // namespace
