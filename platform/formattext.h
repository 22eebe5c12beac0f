#pragma once

#include <cstdio>
#include <string>

// printf's formatting into a string of the length it needs: for lines built in one
// place and printed, saved or shown in another.
template <class... Args>
std::string FormatText(const char* format, Args... args)
{
    std::string text(std::snprintf(nullptr, 0, format, args...), '\0');
    std::snprintf(text.data(), text.size() + 1, format, args...);
    return text;
}
