#include "plugin/host_playlist.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "base/text.h"

HostPlaylist* hostPlaylist = nullptr;

namespace {

// The player's "DelimArtAlb" styles: artist first, title second.
constexpr const char* kTitleDelimiters[] = {
    "%s / %s", "%s : %s", "%s - %s", "%s -- %s", "(%s) %s", "[%s] %s",
};
constexpr int kDefaultTitleDelimiter = 0;
constexpr int kTitleDelimiterCount = static_cast<int>(sizeof kTitleDelimiters / sizeof kTitleDelimiters[0]);

// A value the table does not have (a newer player, a hand-edited file) falls back to the
// default instead of reaching past the table.
int KnownTitleStyle(int style) {
    return style >= 0 && style < kTitleDelimiterCount ? style : kDefaultTitleDelimiter;
}

}  // namespace

HostPlaylist::HostPlaylist(const HostRecord& host) : service_(host.service) {}

int32_t HostPlaylist::TrackCount() const {
    return service_ != nullptr ? service_(kHostTrackCount, nullptr, 0, 0) : 0;
}

bool HostPlaylist::IsSelected(int32_t index) const {
    return service_ != nullptr && service_(kHostTrackSelected, nullptr, index, 0) != 0;
}

int32_t HostPlaylist::TrackLength(int32_t index) const {
    return service_ != nullptr ? service_(kHostTrackLength, nullptr, index, 0) : 0;
}

std::string HostPlaylist::TrackFile(int32_t index) const { return TextRequest(kHostTrackFile, index); }

std::string HostPlaylist::PlayerSettingsFile() const { return TextRequest(kHostSettingsFile, 0); }

int HostPlaylist::TitleStyle() const {
    const std::string settingsFile = PlayerSettingsFile();
    if (settingsFile.empty()) return kDefaultTitleDelimiter;
    return KnownTitleStyle(static_cast<int>(
        GetPrivateProfileIntA("QCD Player", "DelimArtAlb", kDefaultTitleDelimiter, settingsFile.c_str())));
}

std::string HostPlaylist::TrackTitle(int32_t index) const { return TrackTitle(index, TitleStyle()); }

std::string HostPlaylist::TrackTitle(int32_t index, int titleStyle) const {
    std::string title = TextRequest(kHostTrackTitle, index);
    std::string artist = TextRequest(kHostTrackArtist, index);
    // Room for both texts whole and the longest delimiter; the title is then cut to the whole
    // characters of a text from the player.
    char text[2 * kHostTextBufferSize + 8] = {};
    std::snprintf(text, sizeof text, kTitleDelimiters[KnownTitleStyle(titleStyle)], artist.c_str(), title.c_str());
    return CutToWholeCharacters(text, kHostTextBufferSize - 1);
}

bool HostPlaylist::IsChosen(int32_t index, bool wholePlaylist) const { return wholePlaylist || IsSelected(index); }

std::string HostPlaylist::TextRequest(int32_t op, int32_t index) const {
    if (service_ == nullptr) return std::string();
    char buffer[kHostTextBufferSize] = {};
    if (service_(op, buffer, kHostTextBufferSize, index < 0 ? -1 : index) == 0) return std::string();
    // A player that fills the whole buffer without a terminator still gives a bounded text, of
    // whole characters.
    return CutToWholeCharacters(std::string_view(buffer, strnlen(buffer, sizeof buffer)), sizeof buffer - 1);
}
