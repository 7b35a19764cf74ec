// What Explorer shows under Properties > Details of both programs, read the
// way it reads it (GetFileVersionInfo), and the window program's manifest:
// every version they carry is the project's.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

const std::string kVersion = SMS_PROJECT_VERSION ".0";  // Windows writes four numbers

// A string of the version resource's US English, Unicode table.
std::string Text(const std::vector<char>& info, const std::string& name) {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(info.data(), ("\\StringFileInfo\\040904B0\\" + name).c_str(), &value, &length)) return "(none)";
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

TEST(VersionResource, NamesTheProgramAndTheProjectVersion) {
    const struct { const char *path, *fileName, *description; } programs[] = {
        {SMS_PDU_EXE, "sms-pdu.exe", "SMS PDU converter"},
        {SMSPDU_EXE, "smspdu.exe", "SMS PDU converter, command line"},
    };
    for (const auto& program : programs) {
        SCOPED_TRACE(program.fileName);
        DWORD ignored = 0;
        std::vector<char> info(GetFileVersionInfoSizeA(program.path, &ignored));
        ASSERT_TRUE(!info.empty() && GetFileVersionInfoA(program.path, 0, DWORD(info.size()), info.data()))
            << "no version resource in " << program.path;
        EXPECT_EQ(kVersion, Fixed(info, false)) << "file version";
        EXPECT_EQ(kVersion, Fixed(info, true)) << "product version";
        const std::pair<const char*, std::string> strings[] = {{"FileVersion", kVersion}, {"ProductVersion", kVersion},
            {"ProductName", "SMS PDU converter"}, {"FileDescription", program.description}, {"OriginalFilename", program.fileName}};
        for (const auto& [name, expected] : strings) EXPECT_EQ(expected, Text(info, name)) << name;
    }
}

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
