#include "engine/engine_version.h"

PackedEngineVersion PackEngineVersion(WORD major, WORD minor, WORD release, WORD build) {
    return {static_cast<uint32_t>(major) << 16 | minor, static_cast<uint32_t>(release) << 16 | build};
}

bool IsCurrentEngineVersion(WORD major, WORD minor, WORD release, WORD build) {
    const PackedEngineVersion version = PackEngineVersion(major, minor, release, build);
    const PackedEngineVersion lastOld = PackEngineVersion(5, 5, 9, 10);
    return version.high > lastOld.high || (version.high == lastOld.high && version.low > lastOld.low);
}
