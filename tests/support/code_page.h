#pragma once
// Texts the tests write as UTF-8, in the process's ANSI code page: the bytes the plug-in gets
// from the system there. A row whose characters the code page lacks is left out of that run.

#include <string>

class AnsiTexts {
public:
    std::string operator()(const char* utf8);
    // False once a text held a character the code page lacks.
    bool representable() const { return representable_; }

private:
    bool representable_ = true;
};
