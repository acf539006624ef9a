#include "decimation.h"

namespace kivo {

void DotPixels::Start(const PixelArea& area, const std::vector<PixelPoint>& stamp) {
    area_ = area;
    stamp_ = stamp;
    int left = 0, right = 0, up = 0, down = 0;
    for (const PixelPoint& s : stamp_) {
        left = std::max(left, s.X);
        right = std::max(right, -s.X);
        up = std::max(up, s.Y);
        down = std::max(down, -s.Y);
    }
    reach_ = {area.Left - left, area.Top - up, std::max(0, area.Width + left + right),
              std::max(0, area.Height + up + down)};
    dotSeen_.assign(static_cast<size_t>(reach_.Width) * reach_.Height / 64 + 1, 0);
    pixelLit_.assign(
        static_cast<size_t>(std::max(0, area.Width)) * std::max(0, area.Height) / 64 + 1, 0);
    lit_.clear();
}

void DotPixels::Light(int x, int y) {
    for (const PixelPoint& s : stamp_) {
        const int ax = x + s.X - area_.Left, ay = y + s.Y - area_.Top;
        if (ax < 0 || ax >= area_.Width || ay < 0 || ay >= area_.Height) continue;
        if (!TestAndSet(pixelLit_, ay * area_.Width + ax))
            lit_.push_back({ax + area_.Left, ay + area_.Top});
    }
}

} // namespace kivo
