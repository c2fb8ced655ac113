#include "core/util/ContextGuard.h"

#include <QObject>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace
{

TEST(ContextGuard, CallsThroughOnlyWhileTheContextLives)
{
    auto context = std::make_unique<QObject>();
    int sum = 0;
    std::function<void(int)> callback = guardedBy(context.get(), [&](int n) { sum += n; });
    callback(2);
    EXPECT_EQ(sum, 2);
    context.reset();
    callback(5);
    EXPECT_EQ(sum, 2) << "the owner is gone";
}

} // namespace
