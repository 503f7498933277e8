#pragma once

#include "common/proverror.h"

#include <QString>

#include <cstdint>

namespace tarvisk::testing {

// The number of the ProvError that `fn` throws, 0 when it returns; its description to
// *description when asked for.
template <typename Fn> int32_t errorOf(Fn &&fn, QString *description = nullptr)
{
    try {
        fn();
    } catch (const ProvError &e) {
        if (description)
            *description = e.description();
        return e.number();
    }
    return 0;
}

} // namespace tarvisk::testing
