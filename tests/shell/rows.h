// The row of the design table that describes a control, for the tests that name the
// focused or pressed control by its Id.
#pragma once

#include <cstddef>
#include <stdexcept>

#include "shell/layout.h"

namespace tarn::layout {

inline std::size_t rowOf(Id id) {
    for (std::size_t i = 0; i < kControls.size(); ++i)
        if (kControls[i].id == id) return i;
    throw std::logic_error("no such row");
}

}  // namespace tarn::layout
