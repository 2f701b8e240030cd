#include "support/code_page.h"

#include <windows.h>

#include <vector>

std::string AnsiTexts::operator()(const char* utf8) {
    const int wide = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, nullptr, 0);
    if (wide <= 0) {
        representable_ = false;
        return std::string();
    }
    std::vector<wchar_t> text(static_cast<size_t>(wide));
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, text.data(), wide);
    BOOL lacking = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), -1, nullptr, 0, nullptr, &lacking);
    if (size <= 0 || lacking) {
        representable_ = false;
        return std::string();
    }
    std::string ansi(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), -1, &ansi[0], size, nullptr, nullptr);
    ansi.resize(static_cast<size_t>(size) - 1);
    return ansi;
}
