// What Explorer shows under Properties > Details of both programs, read the
// way it reads it (GetFileVersionInfo), and the window program's manifest:
// every version they carry is the project's. The programs' paths are the
// arguments: sms-pdu.exe, then smspdu.exe.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kVersion = SMS_PROJECT_VERSION ".0";  // Windows writes four numbers
std::string gPrograms[2];

struct Program {
    int index;
    const char* fileName;
    const char* description;
};
const Program kPrograms[] = {
    {0, "sms-pdu.exe", "SMS PDU converter"},
    {1, "smspdu.exe", "SMS PDU converter, command line"},
};

std::vector<char> VersionInfo(const std::string& path) {
    DWORD ignored = 0;
    std::vector<char> info(GetFileVersionInfoSizeA(path.c_str(), &ignored));
    if (info.empty() || !GetFileVersionInfoA(path.c_str(), 0, DWORD(info.size()), info.data())) info.clear();
    return info;
}

// A string of the US English, Unicode table; "(none)" when it is not there.
std::string StringValue(std::vector<char>& info, const char* name) {
    char* value = nullptr;
    UINT length = 0;
    std::string key = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (info.empty() || !VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length))
        return "(none)";
    return std::string(value, length ? length - 1 : 0);
}

std::string Dotted(DWORD high, DWORD low) {
    return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." + std::to_string(HIWORD(low)) +
           "." + std::to_string(LOWORD(low));
}

VS_FIXEDFILEINFO Fixed(std::vector<char>& info) {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (info.empty() || !VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length))
        return VS_FIXEDFILEINFO{};
    return *fixed;
}

class VersionResource : public testing::TestWithParam<Program> {};

TEST_P(VersionResource, NamesTheProgramAndTheProjectVersion) {
    std::vector<char> info = VersionInfo(gPrograms[GetParam().index]);
    ASSERT_FALSE(info.empty()) << "no version resource in " << gPrograms[GetParam().index];
    const VS_FIXEDFILEINFO fixed = Fixed(info);
    EXPECT_EQ(kVersion, Dotted(fixed.dwFileVersionMS, fixed.dwFileVersionLS)) << "file version";
    EXPECT_EQ(kVersion, Dotted(fixed.dwProductVersionMS, fixed.dwProductVersionLS)) << "product version";
    EXPECT_EQ(kVersion, StringValue(info, "FileVersion"));
    EXPECT_EQ(kVersion, StringValue(info, "ProductVersion"));
    EXPECT_EQ("SMS PDU converter", StringValue(info, "ProductName"));
    EXPECT_EQ(GetParam().description, StringValue(info, "FileDescription"));
    EXPECT_EQ(GetParam().fileName, StringValue(info, "OriginalFilename"));
}
INSTANTIATE_TEST_SUITE_P(BothPrograms, VersionResource, testing::ValuesIn(kPrograms),
                         [](const testing::TestParamInfo<Program>& p) { return p.param.index ? "smspdu" : "sms_pdu"; });

TEST(Manifest, DeclaresTheProjectVersion) {
    HMODULE module = LoadLibraryExA(gPrograms[0].c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module) << gPrograms[0];
    HRSRC found = FindResourceExA(module, RT_MANIFEST, CREATEPROCESS_MANIFEST_RESOURCE_ID,
                                  MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    ASSERT_NE(nullptr, found) << "no manifest (type 24, number 1, US English)";
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(module, found))),
                               SizeofResource(module, found));
    EXPECT_NE(std::string::npos, manifest.find("name=\"Korvanel.SmsPdu\" version=\"" + kVersion + "\"")) << manifest;
    FreeLibrary(module);
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc != 3) {
        fprintf(stderr, "usage: version_resource_win_test SMS-PDU.EXE SMSPDU.EXE\n");
        return 2;
    }
    gPrograms[0] = argv[1];
    gPrograms[1] = argv[2];
    return RUN_ALL_TESTS();
}
