// What the runtime may still throw inside a builder (memory running out while a text or a list
// grows) stops at the builder's boundary as "Out of memory!", with everything built released.

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <new>

#include "compilation_fixture.h"
#include "base/handles.h"

namespace {

// 0: no allocation fails; n: the n-th allocation through operator new from now on fails.
std::atomic<long> allocationsBeforeFailure{0};
std::atomic<bool> allocationFailed{false};

void FailAllocation(long n) {
    allocationFailed = false;
    allocationsBeforeFailure = n;
}

}  // namespace

// Replaced for this whole test program; the plug-in's objects are linked into it, so its
// containers come here too.
void* operator new(std::size_t size) {
    if (allocationsBeforeFailure.load() > 0 && allocationsBeforeFailure.fetch_sub(1) == 1) {
        allocationFailed = true;
        throw std::bad_alloc();
    }
    void* block = HeapAlloc(GetProcessHeap(), 0, size == 0 ? 1 : size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}
void operator delete(void* block) noexcept {
    if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}
void operator delete(void* block, std::size_t) noexcept { operator delete(block); }

namespace {

class BuilderBoundaryTest : public CompilationTest {};

TEST_F(BuilderBoundaryTest, EachAllocationThatFailsEndsTheBuildWithOutOfMemoryAndReleasesEverything) {
    const std::string pcm = MakeFile("raw.pcm", 2352 * 2);
    MakeFolder("data");
    MakeFolder("data\\sub");
    MakeFile("data\\a.mp3");
    MakeFile("data\\sub\\b.mp3");
    const char* dataFiles = Keep(Path("data\\*.mp3"));

    const struct {
        const char* builder;
        std::function<void(BurnJob&)> fill;
        int32_t (Burner::*build)(const BurnJob&);
    } cases[] = {
        {"audio, a .pcm track and a data track",
         [&](BurnJob& job) {
             job.SetAudio(true);
             job.AddFile(pcm.c_str());
             job.SetVolumeName("QCD0001");
             job.AddFile(dataFiles);
         },
         &Burner::BuildAudioCompilation},
        {"video with a data track",
         [&](BurnJob& job) {
             job.SetCompilationKind(kKindVideo);
             job.AddFile("clip.mpg");
             job.SetVolumeName("QCD0002");
             job.AddFile(dataFiles);
         },
         &Burner::BuildVideoCompilation},
        {"track modes",
         [&](BurnJob& job) {
             job.SetCompilationKind(kKindTrackMode);
             job.SetVolumeName("QCD0003");
             job.AddFile(dataFiles);
         },
         &Burner::BuildTrackModeRecord},
    };
    for (const auto& c : cases) {
        long n = 1;
        for (;; ++n) {
            SCOPED_TRACE(std::string(c.builder) + ", allocation " + std::to_string(n));
            UseScenario();
            job_.Reset();
            job_.includeFolders = true;
            c.fill(job_);
            FailAllocation(n);
            const int32_t code = ((*burner_).*c.build)(job_);
            allocationsBeforeFailure = 0;
            if (!allocationFailed) {
                EXPECT_EQ(0, code);
                EXPECT_EQ(1u, CallCount("NeroBurn"));
                break;
            }
            EXPECT_EQ(23, code);
            EXPECT_EQ(0u, CallCount("NeroBurn"));
            ExpectAllReleased(standin_);
            UniqueFile reopened(CreateFileA(pcm.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            EXPECT_TRUE(reopened.valid()) << "the .pcm file is closed";
        }
        EXPECT_GT(n, 1) << c.builder << ": no allocation was met";
    }
}

}  // namespace
