#pragma once
// Drive lists built by hand, laid out as the engine hands them out, for tests that need no engine.

#include <cstring>
#include <string>
#include <vector>

#include "engine/engine_api.h"

class HandMadeDrives {
public:
    // Adds a recorder; returns its record for further changes.
    DeviceRecord& Add(const std::string& name, char letter, uint32_t capabilities = 0x1) {
        devices_.emplace_back();
        DeviceRecord& device = devices_.back();
        std::memset(&device, 0, sizeof device);
        std::memcpy(device.name, name.data(), name.size() < sizeof device.name ? name.size() : sizeof device.name);
        device.driveLetter = static_cast<uint8_t>(letter);
        device.capabilities = capabilities;
        return device;
    }
    // The list block: a count, then the records back to back.
    const DriveList* List() {
        block_.assign(sizeof(uint32_t) + devices_.size() * sizeof(DeviceRecord) + sizeof(DeviceRecord), 0);
        const uint32_t count = static_cast<uint32_t>(devices_.size());
        std::memcpy(block_.data(), &count, sizeof count);
        if (!devices_.empty())
            std::memcpy(block_.data() + sizeof count, devices_.data(), devices_.size() * sizeof(DeviceRecord));
        return reinterpret_cast<const DriveList*>(block_.data());
    }
    DeviceRecord& device(size_t index) { return devices_[index]; }

private:
    std::vector<DeviceRecord> devices_;
    std::vector<uint8_t> block_;
};
