#pragma once
// A small ISO 9660 image writer: one file system seen through two trees, the primary one with
// upper-case names and a Joliet one with the names as given; both share the file extents.

#include <string>
#include <vector>

namespace standin {

// A calendar time as the engine's items carry it (month 0 to 11, years since 1900).
struct IsoTime {
    int seconds = 0, minutes = 0, hours = 0, day = 1, month = 0, yearsSince1900 = 70;
};

struct IsoNode {
    std::string name;
    bool folder = false;
    std::string source;  // files: where the contents come from
    IsoTime time;
    std::vector<IsoNode> children;
};

// Writes the image of `root` (a folder) to `path`; false with a reason in `error`.
bool WriteIsoImage(const std::string& path, const std::string& volumeName, const IsoNode& root,
                   std::string& error);

}  // namespace standin
