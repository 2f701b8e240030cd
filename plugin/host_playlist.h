#pragma once
// The player's playlist, reached only through the host's service callback. Nothing is cached:
// every call asks the player again.

#include <cstdint>
#include <string>

#include "plugin/host_api.h"

class HostPlaylist {
public:
    explicit HostPlaylist(const HostRecord& host);

    int32_t TrackCount() const;
    bool IsSelected(int32_t index) const;
    int32_t TrackLength(int32_t index) const;
    std::string TrackFile(int32_t index) const;
    std::string PlayerSettingsFile() const;
    // The player's own title style ("DelimArtAlb" of its settings file), read from that file.
    int TitleStyle() const;
    // The display title in the player's own style.
    std::string TrackTitle(int32_t index) const;
    // The same in a style read once for many tracks: reading the settings file costs more than
    // asking the player for a title.
    std::string TrackTitle(int32_t index, int titleStyle) const;

    // The tracks to burn: all when the whole playlist was chosen, else the selected ones.
    bool IsChosen(int32_t index, bool wholePlaylist) const;

private:
    std::string TextRequest(int32_t op, int32_t index) const;

    HostServiceFunc service_;
};

// The player's playlist, created by QGeneralModule and kept until unload.
extern HostPlaylist* hostPlaylist;
