#pragma once

#include <QSize>

#include <cstddef>
#include <cstdint>
#include <optional>

// Where a picture's rows lie in a buffer: the byte offset of its top row, and the bytes from one
// row to the next (negative when the rows are stored bottom-up).
struct FrameRows
{
    std::size_t top = 0;
    std::ptrdiff_t stride = 0;
};

// The rows of a picture of `size` pixels of 4 bytes, in a chunk as a producer describes it
// (`offset` of its top row, `chunkSize` bytes of data, `stride`, 0 meaning rows packed tight) of
// a buffer of `bufferSize` bytes. Nothing when a row would be shorter than the picture is wide,
// or any byte of any row would lie outside the chunk's data or the buffer.
std::optional<FrameRows> frameRows(const QSize &size, std::uint32_t offset, std::uint32_t chunkSize,
                                   std::int32_t stride, std::uint32_t bufferSize);
