#pragma once

namespace framlet {

// Tesseract is built with OpenMP on Debian. The runtime reads its environment only when it starts,
// which happens before our code runs, so the limit is set through the runtime's own functions.
// They are looked up in the already-loaded runtime; without one there is nothing to limit.
class OpenMPThreads {
public:
    // Keeps OpenMP on the calling thread to itself: parallel regions it enters run on a team of
    // one. Returns whether an OpenMP runtime was found.
    static bool limitThisThreadToOne();
};

}  // namespace framlet
