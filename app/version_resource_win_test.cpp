// What Explorer shows under Properties > Details of both programs, read the
// way it reads it (GetFileVersionInfo), and the window program's manifest:
// every version they carry is the project's.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kVersion = SMS_PROJECT_VERSION ".0";  // Windows writes four numbers

struct Program {
    const char* path;
    const char* fileName;
    const char* description;
};
const Program kPrograms[] = {
    {SMS_PDU_EXE, "sms-pdu.exe", "SMS PDU converter"},
    {SMSPDU_EXE, "smspdu.exe", "SMS PDU converter, command line"},
};
void PrintTo(const Program& program, std::ostream* out) { *out << program.fileName; }

// A string of the version resource's US English, Unicode table.
std::string Text(const std::vector<char>& info, const std::string& name) {
    void* value = nullptr;
    UINT length = 0;
    const std::string key = "\\StringFileInfo\\040904B0\\" + name;
    if (!VerQueryValueA(info.data(), key.c_str(), &value, &length)) return "(none)";
    return std::string(static_cast<const char*>(value), length ? length - 1 : 0);
}

// The fixed (numeric) file or product version, as Explorer shows it.
std::string Fixed(const std::vector<char>& info, bool product) {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(info.data(), "\\", &value, &length)) return "(none)";
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    const DWORD high = product ? fixed->dwProductVersionMS : fixed->dwFileVersionMS;
    const DWORD low = product ? fixed->dwProductVersionLS : fixed->dwFileVersionLS;
    return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." + std::to_string(HIWORD(low)) +
           "." + std::to_string(LOWORD(low));
}

class VersionResource : public testing::TestWithParam<Program> {};

TEST_P(VersionResource, NamesTheProgramAndTheProjectVersion) {
    const char* path = GetParam().path;
    DWORD ignored = 0;
    std::vector<char> info(GetFileVersionInfoSizeA(path, &ignored));
    ASSERT_TRUE(!info.empty() && GetFileVersionInfoA(path, 0, DWORD(info.size()), info.data()))
        << "no version resource in " << path;
    EXPECT_EQ(kVersion, Fixed(info, false)) << "file version";
    EXPECT_EQ(kVersion, Fixed(info, true)) << "product version";
    EXPECT_EQ(kVersion, Text(info, "FileVersion"));
    EXPECT_EQ(kVersion, Text(info, "ProductVersion"));
    EXPECT_EQ("SMS PDU converter", Text(info, "ProductName"));
    EXPECT_EQ(GetParam().description, Text(info, "FileDescription"));
    EXPECT_EQ(GetParam().fileName, Text(info, "OriginalFilename"));
}
INSTANTIATE_TEST_SUITE_P(BothPrograms, VersionResource, testing::ValuesIn(kPrograms));

TEST(Manifest, DeclaresTheProjectVersion) {
    HMODULE module = LoadLibraryExA(SMS_PDU_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module) << SMS_PDU_EXE;
    HRSRC found = FindResourceExA(module, RT_MANIFEST, CREATEPROCESS_MANIFEST_RESOURCE_ID,
                                  MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    ASSERT_NE(nullptr, found) << "no manifest (type 24, number 1, US English)";
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(module, found))),
                               SizeofResource(module, found));
    EXPECT_NE(std::string::npos, manifest.find("name=\"Korvanel.SmsPdu\" version=\"" + kVersion + "\"")) << manifest;
    FreeLibrary(module);
}

}  // namespace
