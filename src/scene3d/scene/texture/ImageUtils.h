#pragma once
// Pixel blocks in OpenGL layouts: conversion between layouts, resampling to another size and
// mipmap chains. A layout is a pair (colour format, data type) of OpenGL enumerants; the data
// types include the packed types and the block-compressed formats (as sources only).
//
// Everything goes through one working pixel: a reader turns the source into TWorkPixel rows, a
// writer turns them into the destination. The texture image buffers (GLGraphics.h) use this to
// bring images to 8-bit RGBA, to change their format and to build their mipmaps.
#include <cstdint>
#include <vector>

#include "common/Exception.h"

namespace gl3d {

// Four singles in the order R, G, B, A. For the normalised data types the scale is 0..255
// (255 is full intensity); nothing is clamped while in this form.
struct TWorkPixel {
  float R, G, B, A;
};
static_assert(sizeof(TWorkPixel) == 16);

// "Unimplemented type of conversion" (no reader or writer for a data type) or "Invalid data type"
// (a colour format the reader or writer does not handle).
class EGLImageUtils : public common::Exception {
 public:
  using Exception::Exception;
};

// Reads width x height pixels (block formats: every block covering the image) into `dest`, row
// after row. Writes width x height pixels tightly packed.
using TPixelReader = void (*)(const void* source, TWorkPixel* dest, uint32_t colorFormat, int32_t width,
                              int32_t height);
using TPixelWriter = void (*)(const TWorkPixel* source, void* dest, uint32_t colorFormat, int32_t width,
                              int32_t height);

struct TPixelConverterRow {
  uint32_t DataType;
  TPixelReader Reader;  // never null: a missing one raises "Unimplemented type of conversion"
  TPixelWriter Writer;  // likewise
};
inline constexpr int kPixelConverterRowCount = 37;
// Looked up by a linear search on the data type; the first matching row wins.
extern const TPixelConverterRow PixelConverterTable[kPixelConverterRowCount];

// Converts width x height pixels. Nothing happens for a width below 1; a height below 1 counts as
// 1. The blocks may be the same: the source is read completely before the destination is
// written, and a failure leaves the destination untouched.
void ConvertPixels(const void* source, void* destination, uint32_t sourceColorFormat,
                   uint32_t destinationColorFormat, uint32_t sourceDataType, uint32_t destinationDataType,
                   int32_t width, int32_t height);

// Filter kernels of the resampler.
using TImageFilterFunction = float (*)(float x);
// 1 - |x| inside (-1, 1), else 0.
float TentFilterKernel(float x);
// sinc(|x|) * sinc(|x| / 3) inside (-3, 3), 1 at 0, else 0.
float Lanczos3FilterKernel(float x);
// The half-width of the window searched for contributors (source pixels at scale 1 and above).
inline constexpr int FilterSupport = 5;

// Brings a source of sourceWidth x sourceHeight pixels to destinationWidth x destinationHeight
// pixels of the same layout, rows first, then columns. Output index i maps to source position
// i / scale with scale = (destination - 1) / (source - 1) (destination / source when either is
// 1); shrinking widens the kernel by 1 / scale. Weights are not normalised. Nothing happens for
// a width below 1; heights below 1 count as 1.
void ResamplePixels(const void* source, void* destination, uint32_t colorFormat, uint32_t dataType,
                    TImageFilterFunction kernel, int32_t sourceWidth, int32_t sourceHeight,
                    int32_t destinationWidth, int32_t destinationHeight);

// Level i + 1 of a width x height level 0 into destinations[i]: each level halves the previous
// one's sides (never below 1) and is filtered from the previous level's working values, with a
// scale never below 0.25. A failure while writing a level leaves the earlier levels written.
void BuildMipmapChain(const void* source, const std::vector<void*>& destinations, uint32_t colorFormat,
                      uint32_t dataType, TImageFilterFunction kernel, int32_t width, int32_t height);

}  // namespace gl3d
