#pragma once
// The decoder's failures: the fixed message table and the exception raised
// at the boundary. A short or damaged stream raises rtl::EReadError.

#include <cstdint>
#include <string>

#include "rtl/Exception.h"

namespace banner {

RTL_DECLARE_EXCEPTION(EGIFDecodeError, rtl::Exception);

namespace gifmsg {
inline constexpr const char* kUnknownVersion = "Неизвестная версия изображения GIF";
inline constexpr const char* kCodeSizeRange = "Размер кода GIF не принадлежит диапазону от 2 до 9";
inline constexpr const char* kInvalidData = "Неверные данные в формате GIF";
inline constexpr const char* kUnknownExtension = "Неопределенное расширение GIF: %.2x";
inline constexpr const char* kStreamRead = "Stream read error";
inline constexpr const char* kScreenTooLarge = "GIF logical screen of %ux%u pixels is larger than %llu pixels";
inline constexpr const char* kFrameTooLarge = "GIF frame of %ux%u pixels is larger than %llu pixels";
inline constexpr const char* kTooMuchData = "GIF image decodes to more than %llu bytes";
inline constexpr const char* kTooManyFrames = "GIF image has more than %zu frames";
}  // namespace gifmsg

[[noreturn]] void throwInvalidData();
[[noreturn]] void throwStreamRead();

}  // namespace banner
