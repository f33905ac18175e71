#pragma once

namespace framlet {

// Work nobody waits for: the calling thread runs only when the processor would otherwise idle
// (SCHED_IDLE) and its reads wait for every other disk access (the idle I/O class). Returns
// whether both took; the thread keeps working either way.
namespace IdlePriority {
bool lowerThisThread();
}

}  // namespace framlet
