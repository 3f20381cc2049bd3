#pragma once

#include "util/MallowError.h"

#include <gtest/gtest.h>

namespace mallow::test {

/// The error `f` raises; a test failure when it raises none.
template <class F> MallowError Raised(F f)
{
    try {
        f();
    } catch (const MallowError& e) {
        return e;
    }
    ADD_FAILURE() << "no error raised";
    return MallowError(0, "", "");
}

} // namespace mallow::test
