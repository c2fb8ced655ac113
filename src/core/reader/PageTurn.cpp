#include "PageTurn.h"

#include <algorithm>
#include <cmath>

PageTurn::Move PageTurn::step(const Where &where, bool forward, double overlap)
{
    const bool finite = std::isfinite(where.offset) && std::isfinite(where.viewport)
        && std::isfinite(where.extent) && std::isfinite(overlap);
    if (!finite || where.viewport <= 0 || where.item < 0 || where.item >= where.itemCount)
        return {};
    const double last = std::max(0.0, where.extent - where.viewport);
    const double at = std::clamp(where.offset, 0.0, last);
    const double screen = std::max(1.0, where.viewport - std::clamp(overlap, 0.0, where.viewport / 2));
    if (forward) {
        if (at >= last - kEndSlack)
            return where.item + 1 < where.itemCount ? Move { Move::ItemStart, 0, where.item + 1 } : Move {};
        return { Move::Scroll, std::min(at + screen, last), where.item };
    }
    if (at <= kEndSlack)
        return where.item > 0 ? Move { Move::ItemEnd, 0, where.item - 1 } : Move {};
    return { Move::Scroll, std::max(at - screen, 0.0), where.item };
}

PageTurn::Arrow PageTurn::arrow(bool left, bool vertical, bool rightToLeft)
{
    if (vertical)
        return left ? Arrow::ScreenForward : Arrow::ScreenBack;
    return left == rightToLeft ? Arrow::ItemForward : Arrow::ItemBack;
}
