// The tests' main: GoogleTest's own, except that failures are printed without
// OutputDebugString. Under Wine on emulated x86 the exception that call raises can end the
// process, so a failing test would vanish instead of being reported. A run meant for one code
// page (TOLVANE_EXPECTED_CODE_PAGE) first checks that the process really has it.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

class PlainFailurePrinter : public ::testing::TestEventListener {
public:
    explicit PlainFailurePrinter(::testing::TestEventListener* inner) : inner_(inner) {}

    void OnTestPartResult(const ::testing::TestPartResult& result) override {
        if (result.type() == ::testing::TestPartResult::kSuccess) return;
        const char* kind = result.type() == ::testing::TestPartResult::kSkip ? "Skipped" : "Failure";
        if (result.file_name() != nullptr)
            std::printf("%s:%d: %s\n%s\n", result.file_name(), result.line_number(), kind, result.message());
        else
            std::printf("%s\n%s\n", kind, result.message());
        std::fflush(stdout);
    }

    void OnTestProgramStart(const ::testing::UnitTest& u) override { inner_->OnTestProgramStart(u); }
    void OnTestIterationStart(const ::testing::UnitTest& u, int i) override { inner_->OnTestIterationStart(u, i); }
    void OnEnvironmentsSetUpStart(const ::testing::UnitTest& u) override { inner_->OnEnvironmentsSetUpStart(u); }
    void OnEnvironmentsSetUpEnd(const ::testing::UnitTest& u) override { inner_->OnEnvironmentsSetUpEnd(u); }
    void OnTestSuiteStart(const ::testing::TestSuite& s) override { inner_->OnTestSuiteStart(s); }
    void OnTestStart(const ::testing::TestInfo& t) override { inner_->OnTestStart(t); }
    void OnTestEnd(const ::testing::TestInfo& t) override { inner_->OnTestEnd(t); }
    void OnTestSuiteEnd(const ::testing::TestSuite& s) override { inner_->OnTestSuiteEnd(s); }
    void OnEnvironmentsTearDownStart(const ::testing::UnitTest& u) override { inner_->OnEnvironmentsTearDownStart(u); }
    void OnEnvironmentsTearDownEnd(const ::testing::UnitTest& u) override { inner_->OnEnvironmentsTearDownEnd(u); }
    void OnTestIterationEnd(const ::testing::UnitTest& u, int i) override { inner_->OnTestIterationEnd(u, i); }
    void OnTestProgramEnd(const ::testing::UnitTest& u) override { inner_->OnTestProgramEnd(u); }

private:
    std::unique_ptr<::testing::TestEventListener> inner_;
};

// Wine takes the code page from the locale it is started in, and silently keeps its default
// when that locale is not generated on the machine.
class ExpectedCodePage : public ::testing::Environment {
public:
    void SetUp() override {
        const char* expected = std::getenv("TOLVANE_EXPECTED_CODE_PAGE");
        if (expected == nullptr || *expected == '\0') return;
        const char* locale = std::getenv("LC_ALL");
        ASSERT_EQ(std::strtoul(expected, nullptr, 10), GetACP())
            << "this run is meant for code page " << expected << " but the process has code page " << GetACP()
            << ": is the locale " << (locale != nullptr ? locale : "(LC_ALL unset)")
            << " generated on this machine (locale -a; scripts/bootstrap generates it)?";
    }
};

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new ExpectedCodePage);
    ::testing::TestEventListeners& listeners = ::testing::UnitTest::GetInstance()->listeners();
    if (::testing::TestEventListener* printer = listeners.Release(listeners.default_result_printer()))
        listeners.Append(new PlainFailurePrinter(printer));
    return RUN_ALL_TESTS();
}
