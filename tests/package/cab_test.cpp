// The installation cabinet: what the packaging step makes, read back with cabextract and its
// .000 description parsed by an independent reader, held against the members; the checker
// finding what a cabinet gets wrong; and the reader refusing descriptions that lie about
// their counts, lengths and offsets.
#include <gtest/gtest.h>

#include "tools/cabinfo/cabcheck.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

namespace {

namespace fs = std::filesystem;
using cesetup::Member;

const char kMakeCab[] = VEXO_SOURCE_DIR "/packaging/make_cab.py";

// Enough of a program file for the packaging step: an MZ header pointing at a PE header that
// names the processor.
std::vector<uint8_t> FakeProgram(uint16_t machine, uint8_t fill) {
    std::vector<uint8_t> bytes(0x200, fill);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    bytes[0x3C] = 0x80;
    bytes[0x3D] = bytes[0x3E] = bytes[0x3F] = 0;
    const uint8_t pe[] = {'P', 'E', 0, 0, uint8_t(machine), uint8_t(machine >> 8)};
    std::copy(pe, pe + sizeof pe, bytes.begin() + 0x80);
    return bytes;
}

uint16_t U16Of(const std::vector<uint8_t>& b, size_t at) {
    return uint16_t(b[at] | b[at + 1] << 8);
}

void Write(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

struct Packaged {
    fs::path dir;
    fs::path cab;
    int exitCode = -1;
    cesetup::Expected expected;
};

// Runs the packaging step on stand-ins for the two binaries (and a language file).
Packaged Package(uint16_t vexoMachine, uint16_t setupMachine, bool withLanguage) {
    Packaged p;
    char pattern[] = "/tmp/cab-test.XXXXXX";
    p.dir = mkdtemp(pattern);
    p.cab = p.dir / "out" / "Vexo.cab";
    Write(p.dir / "vexo.exe", FakeProgram(vexoMachine, 'v'));
    Write(p.dir / "setup.dll", FakeProgram(setupMachine, 's'));
    std::string command = std::string("python3 ") + kMakeCab + " --vexo " +
                          (p.dir / "vexo.exe").string() + " --setup " +
                          (p.dir / "setup.dll").string() + " --out " + p.cab.string();
    p.expected.files["vexo.exe"] = (p.dir / "vexo.exe").string();
    if (withLanguage) {
        Write(p.dir / "default.lng", {0xFF, 0xFE, '1', 0, '=', 0});
        command += " --language " + (p.dir / "default.lng").string();
        p.expected.files["default.lng"] = (p.dir / "default.lng").string();
    }
    p.expected.setupLibrary = (p.dir / "setup.dll").string();
    int status = std::system((command + " >" + (p.dir / "log").string() + " 2>&1").c_str());
    p.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return p;
}

std::vector<Member> ReadBack(const Packaged& p) {
    std::string error;
    auto members = cesetup::ExtractCabinet(p.cab.string(), &error);
    EXPECT_TRUE(members) << error;
    return members ? *members : std::vector<Member>();
}

std::vector<std::string> Names(const std::vector<Member>& members) {
    std::vector<std::string> names;
    for (const Member& m : members)
        names.push_back(m.name);
    return names;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& l : lines)
        all += l + "\n";
    return all;
}

class Cabinet : public ::testing::Test {
protected:
    void TearDown() override {
        for (const fs::path& dir : made_)
            fs::remove_all(dir);
    }
    Packaged Make(uint16_t vexo, uint16_t setup, bool language) {
        Packaged p = Package(vexo, setup, language);
        made_.push_back(p.dir);
        return p;
    }
    std::vector<fs::path> made_;
};

TEST_F(Cabinet, ReadsBackAsTheInstallerNeedsIt) {
    Packaged p = Make(0x01C2, 0x01C2, true);
    ASSERT_EQ(p.exitCode, 0) << std::ifstream(p.dir / "log").rdbuf();
    std::vector<Member> members = ReadBack(p);
    EXPECT_EQ(Names(members),
              (std::vector<std::string>{"0000Vexo.000", "000setup.999", "0default.002",
                                        "0000vexo.001", "_setup.xml"}));
    p.expected.architecture = 2577;
    cesetup::Report report = cesetup::CheckCabinet(members, p.expected);
    EXPECT_TRUE(report.problems.empty()) << Joined(report.problems);

    ASSERT_TRUE(report.description);
    const cesetup::Description& d = *report.description;
    EXPECT_EQ(d.totalLength, members[0].bytes.size());
    EXPECT_EQ(d.appName + "|" + d.provider, "Vexo|Holmvest");
    EXPECT_EQ(std::vector<uint32_t>({d.minMajor, d.minMinor, d.maxMajor, d.maxMinor}),
              std::vector<uint32_t>({4, 0, 5, 99}));
    ASSERT_EQ(d.files.size(), 2u);
    EXPECT_EQ(d.files[0].name, "vexo.exe");
    EXPECT_EQ(d.files[0].id, 1);
    EXPECT_EQ(d.files[1].name, "default.lng");
    EXPECT_EQ(d.files[1].id, 2);
    for (const cesetup::File& f : d.files) {
        EXPECT_EQ(d.DirectoryPath(f.directory), "%CE1%\\Vexo") << "no trailing backslash";
        EXPECT_EQ(f.flags, 0x40000002u);
    }
    EXPECT_TRUE(d.hives.empty() && d.registry.empty() && d.links.empty());
    EXPECT_TRUE(d.unsupported.empty());
}

TEST_F(Cabinet, NamesTheProcessorItsProgramsAreBuiltFor) {
    const struct {
        uint16_t machine;
        uint32_t architecture;
    } cases[] = {{0x8664, 8664}, {0x01C0, 2577}, {0x014C, 486}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.machine);
        Packaged p = Make(c.machine, c.machine, false);
        ASSERT_EQ(p.exitCode, 0);
        cesetup::Report report = cesetup::CheckCabinet(ReadBack(p), p.expected);
        ASSERT_TRUE(report.description);
        EXPECT_EQ(report.description->architecture, c.architecture);
    }
    Packaged mixed = Make(0x8664, 0x01C2, false);
    EXPECT_NE(mixed.exitCode, 0);
    EXPECT_FALSE(fs::exists(mixed.cab));
}

TEST_F(Cabinet, TheCheckerFindsWhatACabinetGetsWrong) {
    Packaged p = Make(0x01C2, 0x01C2, false);
    ASSERT_EQ(p.exitCode, 0);
    const std::vector<Member> good = ReadBack(p);
    ASSERT_EQ(good.size(), 4u);
    const struct {
        const char* what;
        std::function<void(std::vector<Member>&)> spoil;
        const char* problem;
    } cases[] = {
        {"program missing", [](std::vector<Member>& m) { m.erase(m.begin() + 2); },
         "has no member numbered 1"},
        {"stray member",
         [](std::vector<Member>& m) {
             m.push_back({"000stray.003", {1}});
         },
         "described nowhere"},
        {"setup missing", [](std::vector<Member>& m) { m.erase(m.begin() + 1); },
         "no .999 setup library"},
        {"description not first", [](std::vector<Member>& m) { std::swap(m[0], m[1]); },
         "not the first member"},
        {"no provisioning", [](std::vector<Member>& m) { m.pop_back(); }, "no _setup.xml"},
        {"another program", [](std::vector<Member>& m) { m[2].bytes.back() ^= 1; },
         "is not a copy of vexo.exe"},
    };
    EXPECT_TRUE(cesetup::CheckCabinet(good, p.expected).problems.empty());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Member> members = good;
        c.spoil(members);
        std::string problems = Joined(cesetup::CheckCabinet(members, p.expected).problems);
        EXPECT_NE(problems.find(c.problem), std::string::npos) << problems;
    }
}

// ---- the reader against descriptions that lie ---------------------------------------------

class Description : public Cabinet {
protected:
    void SetUp() override {
        Packaged p = Make(0x01C2, 0x01C2, true);
        ASSERT_EQ(p.exitCode, 0);
        good_ = ReadBack(p).at(0).bytes;
    }
    static void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
        b[at] = uint8_t(v);
        b[at + 1] = uint8_t(v >> 8);
    }
    static void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = uint8_t(v >> (8 * i));
    }
    std::vector<uint8_t> good_;
};

TEST_F(Description, TheReaderRefusesEveryLie) {
    // Header fields: counts at 48, section offsets at 60, app name offset and length at 84.
    const size_t strings = U16Of(good_, 60), dirs = U16Of(good_, 64), size = good_.size();
    const struct {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> lie;
        const char* reason;
    } cases[] = {
        {"signature", [](std::vector<uint8_t>& b) { b[3] = 'X'; }, "signature"},
        {"total length", [](std::vector<uint8_t>& b) { Put32(b, 8, uint32_t(b.size() + 1)); },
         "length"},
        {"string count", [](std::vector<uint8_t>& b) { Put16(b, 48, 0xFFFF); }, "string entry"},
        {"file count", [](std::vector<uint8_t>& b) { Put16(b, 52, 3); }, "file entry"},
        {"files offset", [size](std::vector<uint8_t>& b) { Put32(b, 68, uint32_t(size + 1)); },
         "past the end"},
        {"section in the header", [](std::vector<uint8_t>& b) { Put32(b, 64, 20); },
         "overlaps the header"},
        {"string length", [strings](std::vector<uint8_t>& b) { Put16(b, strings + 2, 0xFFFF); },
         "string entry 0"},
        {"unterminated string", [strings](std::vector<uint8_t>& b) { b[strings + 4 + 5] = 'x'; },
         "string entry 0"},
        {"odd directory length", [dirs](std::vector<uint8_t>& b) { Put16(b, dirs + 2, 5); },
         "directory entry 0"},
        {"directory without its 0", [dirs](std::vector<uint8_t>& b) { Put16(b, dirs + 8, 7); },
         "directory entry 0"},
        {"app name past the end",
         [size](std::vector<uint8_t>& b) { Put16(b, 84, uint32_t(size - 2)); }, "application"},
        {"unsupported list unterminated",
         [](std::vector<uint8_t>& b) {
             Put16(b, 92, U16Of(b, 84));
             Put16(b, 94, 2);
         },
         "unsupported"},
    };
    std::string error;
    ASSERT_TRUE(cesetup::Parse(good_.data(), good_.size(), &error)) << error;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bytes = good_;
        c.lie(bytes);
        error.clear();
        EXPECT_FALSE(cesetup::Parse(bytes.data(), bytes.size(), &error));
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
}

TEST_F(Description, NoCutDescriptionIsReadPastItsEnd) {
    for (size_t n = 0; n < good_.size(); ++n) {
        // A buffer of exactly n bytes, so that a read past it is caught by the sanitizers.
        std::unique_ptr<uint8_t[]> cut(new uint8_t[n ? n : 1]);
        std::copy(good_.begin(), good_.begin() + n, cut.get());
        if (n >= 12)
            for (int i = 0; i < 4; ++i)
                cut[8 + i] = uint8_t(n >> (8 * i));
        std::string error;
        EXPECT_FALSE(cesetup::Parse(cut.get(), n, &error)) << "cut at " << n;
    }
}

} // namespace
