#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// Where things lie in a JPEG stream's segments in front of its image data. Nothing
// here decodes; a stream whose segments do not chain from its start answers none.

// The offset of the frame header's height field.
std::optional<size_t> FindFrameHeight(const uint8_t* jpeg, size_t length);

// The offset of the first image data byte when the stream is one sequential scan of
// every component: only then does the image data hold the picture's blocks in
// order, row of blocks after row of blocks, so that its first rows come first.
std::optional<size_t> FindSequentialImageData(const uint8_t* jpeg, size_t length);
