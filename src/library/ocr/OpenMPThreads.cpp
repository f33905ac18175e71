#include "library/ocr/OpenMPThreads.h"

#include <dlfcn.h>

namespace framlet {
namespace {

using IntSetter = void (*)(int);

IntSetter lookUp(const char* name) {
    return reinterpret_cast<IntSetter>(::dlsym(RTLD_DEFAULT, name));
}

}  // namespace

bool OpenMPThreads::limitThisThreadToOne() {
    static const IntSetter setNumThreads = lookUp("omp_set_num_threads");
    static const IntSetter setMaxActiveLevels = lookUp("omp_set_max_active_levels");
    if (setNumThreads == nullptr || setMaxActiveLevels == nullptr) {
        return false;
    }
    setNumThreads(1);
    // Tesseract's loops name their own team size (num_threads clauses), which overrides the
    // default above; with no active parallel level allowed, every region runs on one thread.
    setMaxActiveLevels(0);
    return true;
}

}  // namespace framlet
