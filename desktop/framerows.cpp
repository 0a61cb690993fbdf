#include "framerows.h"

namespace {

constexpr std::int64_t bytesPerPixel = 4;

} // namespace

std::optional<FrameRows> frameRows(const QSize &size, std::uint32_t offset, std::uint32_t chunkSize,
                                   std::int32_t stride, std::uint32_t bufferSize)
{
    if (size.isEmpty())
        return std::nullopt;
    const std::int64_t rowBytes = size.width() * bytesPerPixel;
    const std::int64_t step = stride == 0 ? rowBytes : stride;
    const std::int64_t distance = (step < 0 ? -step : step) * (size.height() - 1);
    const std::int64_t lowest = step < 0 ? std::int64_t(offset) - distance : std::int64_t(offset);
    const std::int64_t span = distance + rowBytes;
    if ((step < 0 ? -step : step) < rowBytes || lowest < 0 || span > chunkSize || lowest + span > bufferSize)
        return std::nullopt;
    return FrameRows{offset, std::ptrdiff_t(step)};
}
