#include "mp3_decoder.h"

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include <cstring>
#include <vector>

#include "base/handles.h"

namespace standin {
namespace {

struct AcmStreamTraits {
    using Handle = HACMSTREAM;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { acmStreamClose(h, 0); }
};
using UniqueAcmStream = UniqueHandle<AcmStreamTraits>;

// A prepared header must be unprepared before its stream closes; declared after the stream.
class PreparedHeader {
public:
    PreparedHeader(HACMSTREAM stream, ACMSTREAMHEADER& header) : stream_(stream), header_(header) {
        prepared_ = acmStreamPrepareHeader(stream_, &header_, 0) == 0;
    }
    ~PreparedHeader() {
        if (!prepared_) return;
        header_.cbSrcLength = sourceCapacity_;
        acmStreamUnprepareHeader(stream_, &header_, 0);
    }
    PreparedHeader(const PreparedHeader&) = delete;
    PreparedHeader& operator=(const PreparedHeader&) = delete;
    bool prepared() const { return prepared_; }
    void RememberCapacity(DWORD capacity) { sourceCapacity_ = capacity; }

private:
    HACMSTREAM stream_;
    ACMSTREAMHEADER& header_;
    bool prepared_ = false;
    DWORD sourceCapacity_ = 0;
};

struct FrameFormat {
    uint32_t sampleRate = 0;
    uint32_t channels = 0;
    uint32_t kbps = 0;
};

constexpr uint32_t kCdRate = 44100;
constexpr size_t kSourceChunk = 16 * 1024;

// ID3v2 tags sit before the first frame; their size is a 28-bit "synchsafe" number.
size_t SkipId3(const std::vector<uint8_t>& data) {
    if (data.size() < 10 || std::memcmp(data.data(), "ID3", 3) != 0) return 0;
    return 10 + ((data[6] & 0x7F) << 21 | (data[7] & 0x7F) << 14 | (data[8] & 0x7F) << 7 | (data[9] & 0x7F));
}

// The first MPEG-1 layer III frame header at or after `from`.
bool FindFirstFrame(const std::vector<uint8_t>& data, size_t from, FrameFormat& format) {
    static const uint32_t kKbps[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    static const uint32_t kRates[4] = {44100, 48000, 32000, 0};
    for (size_t i = from; i + 4 <= data.size(); ++i) {
        if (data[i] != 0xFF || (data[i + 1] & 0xFE) != 0xFA) continue;  // sync, MPEG-1, layer III
        uint32_t kbps = kKbps[data[i + 2] >> 4];
        uint32_t rate = kRates[(data[i + 2] >> 2) & 3];
        if (kbps == 0 || rate == 0) continue;
        format = FrameFormat{rate, (data[i + 3] >> 6) == 3 ? 1u : 2u, kbps};
        return true;
    }
    return false;
}

bool ReadAll(const std::string& path, std::vector<uint8_t>& data) {
    UniqueCFile file(std::fopen(path.c_str(), "rb"));
    if (!file) return false;
    uint8_t buffer[64 * 1024];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) data.insert(data.end(), buffer, buffer + got);
    return !std::ferror(file.get());
}

MPEGLAYER3WAVEFORMAT SourceFormat(const FrameFormat& frame) {
    MPEGLAYER3WAVEFORMAT format = {};
    format.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    format.wfx.nChannels = static_cast<WORD>(frame.channels);
    format.wfx.nSamplesPerSec = frame.sampleRate;
    format.wfx.nAvgBytesPerSec = frame.kbps * 1000 / 8;
    format.wfx.nBlockAlign = 1;
    format.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    format.wID = MPEGLAYER3_ID_MPEG;
    format.fdwFlags = MPEGLAYER3_FLAG_PADDING_OFF;
    format.nBlockSize = static_cast<WORD>(144 * frame.kbps * 1000 / frame.sampleRate);
    format.nFramesPerBlock = 1;
    return format;
}

WAVEFORMATEX CdAudioFormat() {
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = kCdRate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = kCdRate * 4;
    return format;
}

class Conversion {
public:
    Conversion(HACMSTREAM stream, const std::vector<uint8_t>& data, size_t start)
        : stream_(stream), data_(data), next_(start), source_(kSourceChunk), target_(TargetSize()) {
        header_.cbStruct = sizeof header_;
        header_.pbSrc = source_.data();
        header_.cbSrcLength = static_cast<DWORD>(source_.size());
        header_.pbDst = target_.data();
        header_.cbDstLength = static_cast<DWORD>(target_.size());
    }

    bool Run(const PcmSink& sink, std::string& error) {
        PreparedHeader prepared(stream_, header_);
        prepared.RememberCapacity(static_cast<DWORD>(source_.size()));
        if (!prepared.prepared()) {
            error = "the MP3 codec refused its buffers";
            return false;
        }
        size_t held = 0;
        DWORD flags = ACM_STREAMCONVERTF_START | ACM_STREAMCONVERTF_BLOCKALIGN;
        for (;;) {
            held += Refill(held);
            bool last = next_ >= data_.size();
            header_.cbSrcLength = static_cast<DWORD>(held);
            if (acmStreamConvert(stream_, &header_, flags | (last ? ACM_STREAMCONVERTF_END : 0)) != 0) {
                error = "the MP3 codec failed to decode it";
                return false;
            }
            flags &= ~ACM_STREAMCONVERTF_START;
            size_t used = header_.cbSrcLengthUsed;
            std::memmove(source_.data(), source_.data() + used, held - used);
            held -= used;
            if (header_.cbDstLengthUsed && !sink(target_.data(), header_.cbDstLengthUsed)) {
                error = "writing its decoded audio failed";
                return false;
            }
            bool stuck = used == 0 && header_.cbDstLengthUsed == 0;
            if (last && (stuck || held == 0) && header_.cbDstLengthUsed == 0) return true;
            if (stuck && held == source_.size()) {
                error = "the MP3 codec took none of it";
                return false;
            }
        }
    }

private:
    size_t Refill(size_t held) {
        size_t take = std::min(source_.size() - held, data_.size() - next_);
        std::memcpy(source_.data() + held, data_.data() + next_, take);
        next_ += take;
        return take;
    }

    DWORD TargetSize() const {
        DWORD size = 0;
        if (acmStreamSize(stream_, kSourceChunk, &size, ACM_STREAMSIZEF_SOURCE) != 0 || size == 0) size = 1 << 20;
        return size;
    }

    HACMSTREAM stream_;
    const std::vector<uint8_t>& data_;
    size_t next_;
    std::vector<uint8_t> source_;
    std::vector<uint8_t> target_;
    ACMSTREAMHEADER header_ = {};
};

}  // namespace

bool DecodeMp3File(const std::string& path, const PcmSink& sink, std::string& error) {
    std::vector<uint8_t> data;
    if (!ReadAll(path, data)) {
        error = "cannot read it";
        return false;
    }
    size_t start = SkipId3(data);
    FrameFormat frame;
    if (!FindFirstFrame(data, start, frame)) {
        error = "it holds no MPEG-1 layer III audio";
        return false;
    }
    if (frame.sampleRate != kCdRate || frame.channels != 2) {
        error = "it is not stereo at 44.1 kHz (" + std::to_string(frame.channels) + " channels, " +
                std::to_string(frame.sampleRate) + " Hz)";
        return false;
    }
    MPEGLAYER3WAVEFORMAT source = SourceFormat(frame);
    WAVEFORMATEX target = CdAudioFormat();
    UniqueAcmStream stream;
    if (acmStreamOpen(stream.put(), nullptr, &source.wfx, &target, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME) != 0) {
        error = "the system has no MP3 codec for it";
        return false;
    }
    return Conversion(stream.get(), data, start).Run(sink, error);
}

}  // namespace standin
