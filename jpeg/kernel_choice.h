// A kernel family's dispatch: the widest of its vector sets that the
// program's processor choice allows. For the dispatchers, built with the
// baseline flags; the kernels' own files include processor_features.h alone.
#pragma once

#include <initializer_list>

#include "jpeg/processor_features.h"

namespace cpu {

// `widestFirst` holds a family's tables of kernels, each naming its `set`,
// and nullptr for a set left out of the build or one the processor lacks,
// so that the choice falls to the next narrower set. The first that
// `allowed` (the family's choice for the features under the cap) admits;
// nullptr, the plain kernels, when none does.
template <class Kernels>
const Kernels* WidestAllowed(KernelSet allowed, std::initializer_list<const Kernels*> widestFirst) {
  for (const Kernels* kernels : widestFirst)
    if (kernels != nullptr && kernels->set <= allowed) return kernels;
  return nullptr;
}

}  // namespace cpu
