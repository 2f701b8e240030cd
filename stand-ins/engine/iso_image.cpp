#include "iso_image.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <set>

#include "base/handles.h"
#include "stand-ins/code_page_text.h"

namespace standin {
namespace {

constexpr uint32_t kSector = 2048;
constexpr uint32_t kFirstDescriptor = 16;
constexpr uint32_t kFirstFreeSector = 19;  // primary, Joliet and terminator descriptors before it
constexpr size_t kPrimaryNameChars = 30;
constexpr size_t kJolietNameChars = 64;

uint32_t SectorsFor(uint64_t bytes) { return static_cast<uint32_t>((bytes + kSector - 1) / kSector); }

void PutLE16(std::string& out, size_t at, uint32_t value) {
    out[at] = static_cast<char>(value & 0xFF);
    out[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}
void PutBE16(std::string& out, size_t at, uint32_t value) {
    out[at] = static_cast<char>((value >> 8) & 0xFF);
    out[at + 1] = static_cast<char>(value & 0xFF);
}
void PutLE32(std::string& out, size_t at, uint32_t value) {
    PutLE16(out, at, value & 0xFFFF);
    PutLE16(out, at + 2, value >> 16);
}
void PutBE32(std::string& out, size_t at, uint32_t value) {
    PutBE16(out, at, value >> 16);
    PutBE16(out, at + 2, value & 0xFFFF);
}
// ISO 9660 stores most numbers twice: little-endian, then big-endian.
void PutBoth16(std::string& out, size_t at, uint32_t value) {
    PutLE16(out, at, value);
    PutBE16(out, at + 2, value);
}
void PutBoth32(std::string& out, size_t at, uint32_t value) {
    PutLE32(out, at, value);
    PutBE32(out, at + 4, value);
}
void PutText(std::string& out, size_t at, const std::string& text) { out.replace(at, text.size(), text); }

bool IsDCharacter(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'; }

// One d-character for each of the first `most` characters: a double-byte one gives one '_'.
std::string DCharacters(const std::string& text, size_t most) {
    std::string out;
    for (size_t at = 0; at < text.size() && out.size() < most;) {
        const size_t next = NextCharacter(text, at);
        char c = text[at];
        char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        out += next == at + 1 && IsDCharacter(upper) ? upper : '_';
        at = next;
    }
    return out;
}

// UCS-2, big-endian, as Joliet stores every name.
std::string Ucs2BigEndian(const std::string& text, size_t mostChars) {
    int count = MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(count), L'\0');
    if (count > 0) MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), &wide[0], count);
    if (wide.size() > mostChars) {
        // A character beyond the basic plane takes two code units; neither is kept alone.
        const bool splitsPair = wide[mostChars - 1] >= 0xD800 && wide[mostChars - 1] <= 0xDBFF;
        wide.resize(splitsPair ? mostChars - 1 : mostChars);
    }
    std::string out;
    for (wchar_t c : wide) {
        out += static_cast<char>((c >> 8) & 0xFF);
        out += static_cast<char>(c & 0xFF);
    }
    return out;
}

std::string PrimaryFileName(const std::string& name) {
    size_t dot = LastCharacterOf(name, ".");
    std::string extension = dot == std::string::npos ? std::string() : DCharacters(name.substr(dot + 1), 8);
    std::string base = DCharacters(name.substr(0, dot), kPrimaryNameChars - 1 - extension.size());
    return base + "." + extension;
}

// Primary names are cut and upper-cased, so two may meet: later ones get a number at the end.
std::string UniquePrimaryName(const IsoNode& node, std::set<std::string>& used) {
    std::string name = node.folder ? DCharacters(node.name, kPrimaryNameChars + 1) : PrimaryFileName(node.name);
    for (int n = 1; !used.insert(name).second; ++n) {
        std::string suffix = "_" + std::to_string(n);
        size_t dot = node.folder ? name.size() : name.find_last_of('.');
        std::string base = name.substr(0, std::min(dot, kPrimaryNameChars - 8));
        name = base + suffix + name.substr(dot);
    }
    return node.folder ? name : name + ";1";
}

std::string JolietName(const IsoNode& node) {
    return node.folder ? Ucs2BigEndian(node.name, kJolietNameChars) : Ucs2BigEndian(node.name, kJolietNameChars - 2) + Ucs2BigEndian(";1", 2);
}

struct Extent {
    uint32_t sector = 0;
    uint32_t bytes = 0;
};

std::string RecordDate(const IsoTime& t) {
    std::string date(7, '\0');
    date[0] = static_cast<char>(t.yearsSince1900);
    date[1] = static_cast<char>(t.month + 1);
    date[2] = static_cast<char>(t.day);
    date[3] = static_cast<char>(t.hours);
    date[4] = static_cast<char>(t.minutes);
    date[5] = static_cast<char>(t.seconds);
    return date;
}

std::string DirectoryRecord(const std::string& identifier, const Extent& extent, const IsoTime& time, bool folder) {
    size_t length = 33 + identifier.size() + (identifier.size() % 2 == 0 ? 1 : 0);
    std::string record(length, '\0');
    record[0] = static_cast<char>(length);
    PutBoth32(record, 2, extent.sector);
    PutBoth32(record, 10, extent.bytes);
    PutText(record, 18, RecordDate(time));
    record[25] = folder ? 2 : 0;
    PutBoth16(record, 28, 1);
    record[32] = static_cast<char>(identifier.size());
    PutText(record, 33, identifier);
    return record;
}

// One folder as one of the trees sees it.
struct Directory {
    const IsoNode* node = nullptr;
    size_t parent = 0;  // index in the tree's folder list
    std::string identifier;
    std::vector<std::pair<std::string, const IsoNode*>> entries;  // sorted by identifier
    Extent extent;
};

// Records of a folder, padded so that none crosses a sector boundary.
class DirectoryContents {
public:
    void Add(const std::string& record) {
        size_t used = bytes_.size() % kSector;
        if (used + record.size() > kSector) bytes_.append(kSector - used, '\0');
        bytes_ += record;
    }
    std::string Padded() const { return bytes_ + std::string((kSector - bytes_.size() % kSector) % kSector, '\0'); }

private:
    std::string bytes_;
};

class Tree {
public:
    Tree(const IsoNode& root, bool joliet) : joliet_(joliet) {
        directories_.push_back(Directory{&root, 0, std::string(1, '\0'), {}, {}});
        // Breadth first with sorted entries gives the path table's order.
        for (size_t i = 0; i < directories_.size(); ++i) AddEntries(i);
    }

    const std::vector<Directory>& directories() const { return directories_; }

    uint32_t PathTableBytes() const {
        uint32_t bytes = 0;
        for (const Directory& d : directories_) bytes += 8 + static_cast<uint32_t>(d.identifier.size() + d.identifier.size() % 2);
        return bytes;
    }

    void PlaceDirectories(uint32_t& nextSector) {
        for (Directory& directory : directories_) {
            directory.extent.sector = nextSector;
            directory.extent.bytes = static_cast<uint32_t>(Contents(directory, {}).size());
            nextSector += SectorsFor(directory.extent.bytes);
        }
    }

    std::string PathTable(bool bigEndian) const {
        std::string table;
        for (const Directory& d : directories_) {
            std::string record(8 + d.identifier.size() + d.identifier.size() % 2, '\0');
            record[0] = static_cast<char>(d.identifier.size());
            bigEndian ? PutBE32(record, 2, d.extent.sector) : PutLE32(record, 2, d.extent.sector);
            bigEndian ? PutBE16(record, 6, static_cast<uint32_t>(d.parent + 1)) : PutLE16(record, 6, static_cast<uint32_t>(d.parent + 1));
            PutText(record, 8, d.identifier);
            table += record;
        }
        return table;
    }

    std::string Contents(const Directory& directory, const std::map<const IsoNode*, Extent>& files) const {
        DirectoryContents contents;
        const Directory& parent = directories_[directory.parent];
        contents.Add(DirectoryRecord(std::string(1, '\0'), directory.extent, directory.node->time, true));
        contents.Add(DirectoryRecord(std::string(1, '\1'), parent.extent, parent.node->time, true));
        for (const auto& entry : directory.entries) {
            const IsoNode& node = *entry.second;
            Extent extent = node.folder ? FolderExtent(&node) : Lookup(files, &node);
            contents.Add(DirectoryRecord(entry.first, extent, node.time, node.folder));
        }
        return contents.Padded();
    }

    const Extent& RootExtent() const { return directories_.front().extent; }

private:
    void AddEntries(size_t index) {
        const IsoNode* node = directories_[index].node;
        std::set<std::string> used;
        std::vector<std::pair<std::string, const IsoNode*>> entries;
        for (const IsoNode& child : node->children) {
            entries.emplace_back(joliet_ ? JolietName(child) : UniquePrimaryName(child, used), &child);
        }
        std::sort(entries.begin(), entries.end());
        for (const auto& entry : entries) {
            if (entry.second->folder) directories_.push_back(Directory{entry.second, index, entry.first, {}, {}});
        }
        directories_[index].entries = std::move(entries);
    }

    Extent FolderExtent(const IsoNode* node) const {
        for (const Directory& d : directories_) {
            if (d.node == node) return d.extent;
        }
        return Extent();
    }

    static Extent Lookup(const std::map<const IsoNode*, Extent>& files, const IsoNode* node) {
        auto found = files.find(node);
        return found == files.end() ? Extent() : found->second;
    }

    bool joliet_;
    std::vector<Directory> directories_;
};

std::string DescriptorDate() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[18] = {};
    std::snprintf(text, sizeof text, "%04u%02u%02u%02u%02u%02u00", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond);
    return std::string(text, 16) + std::string(1, '\0');
}

std::string PaddedText(const std::string& text, size_t width) { return (text + std::string(width, ' ')).substr(0, width); }

std::string PaddedUcs2(const std::string& ucs2, size_t width) {
    std::string out = ucs2;
    while (out.size() < width) out += std::string("\0 ", 2);
    return out.substr(0, width);
}

struct Layout {
    uint32_t pathTables[4] = {};  // primary L, primary M, Joliet L, Joliet M
    uint32_t totalSectors = 0;
};

std::string VolumeDescriptor(const Tree& tree, const Layout& layout, const std::string& volumeName, bool joliet) {
    std::string d(kSector, '\0');
    d[0] = joliet ? 2 : 1;
    PutText(d, 1, "CD001");
    d[6] = 1;
    std::string blanks32 = joliet ? PaddedUcs2("", 32) : PaddedText("", 32);
    PutText(d, 8, blanks32);
    PutText(d, 40, joliet ? PaddedUcs2(Ucs2BigEndian(volumeName, 16), 32) : PaddedText(DCharacters(volumeName, 32), 32));
    PutBoth32(d, 80, layout.totalSectors);
    if (joliet) PutText(d, 88, "%/E");  // UCS-2 level 3
    PutBoth16(d, 120, 1);
    PutBoth16(d, 124, 1);
    PutBoth16(d, 128, kSector);
    PutBoth32(d, 132, tree.PathTableBytes());
    PutLE32(d, 140, layout.pathTables[joliet ? 2 : 0]);
    PutBE32(d, 148, layout.pathTables[joliet ? 3 : 1]);
    PutText(d, 156, DirectoryRecord(std::string(1, '\0'), tree.RootExtent(), tree.directories().front().node->time, true));
    for (size_t field : {190u, 318u, 446u, 574u}) PutText(d, field, joliet ? PaddedUcs2("", 128) : PaddedText("", 128));
    for (size_t field : {702u, 739u, 776u}) PutText(d, field, joliet ? PaddedUcs2("", 36) + std::string(1, '\0') : PaddedText("", 37));
    std::string now = DescriptorDate();
    std::string unset = std::string(16, '0') + std::string(1, '\0');
    PutText(d, 813, now);
    PutText(d, 830, now);
    PutText(d, 847, unset);
    PutText(d, 864, unset);
    d[881] = 1;
    return d;
}

std::string Terminator() {
    std::string d(kSector, '\0');
    d[0] = static_cast<char>(255);
    PutText(d, 1, "CD001");
    d[6] = 1;
    return d;
}

std::string SystemReason(DWORD code) {
    char text[256] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                  sizeof text, nullptr);
    std::string reason(text, length);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.')) reason.pop_back();
    return reason.empty() ? "error " + std::to_string(code) : reason;
}

class ImageWriter {
public:
    ImageWriter(const std::string& volumeName, const IsoNode& root)
        : volumeName_(volumeName), primary_(root, false), joliet_(root, true) {
        CollectFiles(root);
    }

    bool Write(const std::string& path, std::string& error) {
        if (!Plan(error)) return false;
        UniqueCFile out(std::fopen(path.c_str(), "wb"));
        if (!out) {
            error = "cannot create " + path;
            return false;
        }
        out_ = out.get();
        Emit(std::string(kFirstDescriptor * kSector, '\0'));
        Emit(VolumeDescriptor(primary_, layout_, volumeName_, false));
        Emit(VolumeDescriptor(joliet_, layout_, volumeName_, true));
        Emit(Terminator());
        for (bool bigEndian : {false, true}) EmitPadded(primary_.PathTable(bigEndian));
        for (bool bigEndian : {false, true}) EmitPadded(joliet_.PathTable(bigEndian));
        for (const Tree* tree : {&primary_, &joliet_}) {
            for (const Directory& directory : tree->directories()) Emit(tree->Contents(directory, extents_));
        }
        for (const IsoNode* file : files_) {
            if (!CopyContents(*file, error)) return false;
        }
        if (std::fflush(out_) != 0 || std::ferror(out_)) {
            error = "cannot write " + path;
            return false;
        }
        return true;
    }

private:
    void CollectFiles(const IsoNode& node) {
        for (const IsoNode& child : node.children) {
            if (child.folder) CollectFiles(child);
            else files_.push_back(&child);
        }
    }

    bool Plan(std::string& error) {
        uint32_t next = kFirstFreeSector;
        uint32_t tableBytes[4] = {primary_.PathTableBytes(), primary_.PathTableBytes(), joliet_.PathTableBytes(),
                                  joliet_.PathTableBytes()};
        for (int i = 0; i < 4; ++i) {
            layout_.pathTables[i] = next;
            next += SectorsFor(tableBytes[i]);
        }
        primary_.PlaceDirectories(next);
        joliet_.PlaceDirectories(next);
        for (const IsoNode* file : files_) {
            WIN32_FILE_ATTRIBUTE_DATA data;
            if (!GetFileAttributesExA(file->source.c_str(), GetFileExInfoStandard, &data)) {
                error = "cannot read \"" + file->source + "\": " + SystemReason(GetLastError());
                return false;
            }
            if (data.nFileSizeHigh != 0) {
                error = "\"" + file->source + "\" is larger than 4 GB";
                return false;
            }
            Extent extent{data.nFileSizeLow ? next : 0, data.nFileSizeLow};
            extents_[file] = extent;
            next += SectorsFor(extent.bytes);
        }
        layout_.totalSectors = next;
        return true;
    }

    void Emit(const std::string& bytes) { std::fwrite(bytes.data(), 1, bytes.size(), out_); }
    void EmitPadded(const std::string& bytes) {
        Emit(bytes);
        Emit(std::string((kSector - bytes.size() % kSector) % kSector, '\0'));
    }

    bool CopyContents(const IsoNode& file, std::string& error) {
        uint32_t left = extents_[&file].bytes;
        UniqueCFile in(std::fopen(file.source.c_str(), "rb"));
        if (!in) {
            error = "cannot open \"" + file.source + "\"";
            return false;
        }
        std::vector<char> buffer(64 * 1024);
        while (left > 0) {
            size_t got = std::fread(buffer.data(), 1, std::min<size_t>(buffer.size(), left), in.get());
            if (got == 0) {
                error = "\"" + file.source + "\" became shorter while it was written";
                return false;
            }
            std::fwrite(buffer.data(), 1, got, out_);
            left -= static_cast<uint32_t>(got);
        }
        Emit(std::string((kSector - extents_[&file].bytes % kSector) % kSector, '\0'));
        return true;
    }

    std::string volumeName_;
    Tree primary_;
    Tree joliet_;
    std::vector<const IsoNode*> files_;
    std::map<const IsoNode*, Extent> extents_;
    Layout layout_;
    std::FILE* out_ = nullptr;
};

}  // namespace

bool WriteIsoImage(const std::string& path, const std::string& volumeName, const IsoNode& root, std::string& error) {
    return ImageWriter(volumeName, root).Write(path, error);
}

}  // namespace standin
