// What Windows and Explorer read from the built Kestrup.exe before it runs: the version details
// a service engineer sees, and the manifest as Windows understands it.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "corvane_version.h"

namespace corvane::test {
namespace {

TEST(KestrupProgram, VersionDetailsNameTheToolItsVersionAndTheFirmwareItInstalls) {
    DWORD ignored = 0;
    std::vector<char> info(::GetFileVersionInfoSizeA(CORVANE_KESTRUP_EXE, &ignored));
    ASSERT_TRUE(::GetFileVersionInfoA(CORVANE_KESTRUP_EXE, 0, info.size(), info.data()));
    auto text = [&info](const std::string& name) -> std::string {
        void* value = nullptr;
        UINT length = 0;
        ::VerQueryValueA(info.data(), ("\\StringFileInfo\\040904b0\\" + name).c_str(), &value,
                         &length);
        return length > 0 ? static_cast<const char*>(value) : "";
    };
    EXPECT_EQ(text("CompanyName"), CORVANE_COMPANY);
    EXPECT_EQ(text("ProductName"), CORVANE_PRODUCT);
    EXPECT_EQ(text("FileDescription"), CORVANE_WIZARD_DESCRIPTION);
    EXPECT_EQ(text("FileVersion"), CORVANE_TOOL_VERSION);
    EXPECT_EQ(text("Comments"), CORVANE_WIZARD_COMMENTS);
}

TEST(KestrupProgram, ManifestRunsAsTheInvokingUser) {
    ACTCTXA request{};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = CORVANE_KESTRUP_EXE;
    request.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
    const std::unique_ptr<void, decltype(&::ReleaseActCtx)> context(::CreateActCtxA(&request),
                                                                    &::ReleaseActCtx);
    ASSERT_NE(context.get(), INVALID_HANDLE_VALUE) << "no manifest Windows can read";
    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION level{};
    ASSERT_TRUE(::QueryActCtxW(0, context.get(), nullptr, RunlevelInformationInActivationContext,
                               &level, sizeof level, nullptr));
    EXPECT_EQ(level.RunLevel, ACTCTX_RUN_LEVEL_AS_INVOKER);
}

}  // namespace
}  // namespace corvane::test
