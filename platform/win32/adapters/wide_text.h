// The core's UTF-8 texts at the edge of Windows' UTF-16 calls: conversion
// both ways, environment variables and system error texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace snimac {

// Invalid sequences become U+FFFD, so that a text is never dropped whole.
std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);

// An environment variable as UTF-8; nothing when it is not set (an empty
// value is a value).
std::optional<std::string> EnvironmentUtf8(const std::string& name);

// The system's text for an error code of GetLastError / WSAGetLastError,
// without the trailing line end; "systémová chyba <code>" when it has none.
std::string SystemErrorText(uint32_t code);

}  // namespace snimac
