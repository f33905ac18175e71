// libFuzzer entry point for the update feed reader and the version order (make fuzz).
#include "FeedInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    framlet::test::exerciseFeed(data, size);
    return 0;
}
